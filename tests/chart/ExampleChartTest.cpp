#include "ChartFile.h"
#include "ChartTestFiles.h"
#include "KeP.h"
#include "SylkWriter.h"
#include "Unkept.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

TEST(ExampleChart, ShippedScriptIsTheExportOfTheShippedChart)
{
    KeP kep;
    ASSERT_TRUE(LoadChart(unkept(kep), examplePath("example.zts")).ok());
    EXPECT_EQ(kep.TotalBeats, 64);
    EXPECT_EQ(SylkWriter::script(kep), readBytes(examplePath("example.slk")));
}

TEST(ExampleChart, OpensWithTheWorkedExample)
{
    KeP kep;
    ASSERT_TRUE(LoadChart(unkept(kep), examplePath("example.zts")).ok());
    const KeP worked = workedExample();
    for (int32_t c = 0; c <= 21; ++c)
        for (int r = 1; r <= 7; ++r)
            EXPECT_EQ(kep.at(c, r), worked.at(c, r) | (c == 0 && r == 1) | (c == 12 && r == 6) |
                                        (c == 16 && r == 4) | (c == 20 && r == 5))
                << c << "/" << r;
}

TEST(ExampleChart, ScriptImportsBackIntoTheSameGrid)
{
    KeP native;
    ASSERT_TRUE(LoadChart(unkept(native), examplePath("example.zts")).ok());
    KeP script;
    ASSERT_TRUE(LoadChart(unkept(script), examplePath("example.slk")).ok());
    EXPECT_EQ(script.KeyGrid, native.KeyGrid);
}
