#include "ChartEdit.h"
#include "ChartFile.h"
#include "ChartTestFiles.h"
#include "KeP.h"
#include "ScriptTemplates.h"
#include "SylkWriter.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

// The data rows of a script: what lies between the title template and the end record.
QByteArray rowsOf(const QByteArray& script)
{
    const QByteArray title = builtInTitleTemplate();
    const qsizetype start = script.indexOf(title);
    if (start < 0 || !script.endsWith("E\r\n"))
        return "<not a script>";
    return script.mid(start + title.size(), script.size() - start - title.size() - 3);
}

QByteArray rowFor(int sheetRow, int measure, int beat, int sixteenth, int cell, const char* action,
                  const char* keys)
{
    return QByteArray("C;Y") + QByteArray::number(sheetRow) + ";X1;K" +
           QByteArray::number(measure) + "\r\nC;X2;K" + QByteArray::number(beat) + "\r\nC;X3;K" +
           QByteArray::number(sixteenth) + "\r\nC;X4;K" + QByteArray::number(cell) +
           "\r\nC;X5;K\"" + action + "\"\r\nC;X6;K\"" + keys + "\"\r\n";
}

class SylkExport : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    static KeP scripting(KeP kep)
    {
        kep.ScriptMode = true;
        return kep;
    }
};

} // namespace

TEST_F(SylkExport, WorkedExampleIsTheGoldenScriptByteForByte)
{
    const ChartResult r = SaveChart(scripting(workedExample(40)), path("worked"), 1);
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    EXPECT_EQ(r.path, path("worked.slk"));
    const QByteArray golden = readBytes(goldenPath("worked-example.slk"));
    EXPECT_EQ(readBytes(path("worked.slk")), golden);
    EXPECT_TRUE(golden.contains("\r\nB;Y5;X6;D0 0 4 5\r\nO;L;S;F;D;V0;K47;T0;G100 0.001\r\n"));
}

TEST_F(SylkExport, ScriptIsHeaderBoundsTitleRowsAndEnd)
{
    const QByteArray script = SylkWriter::script(workedExample());
    const QByteArray expected = builtInHeaderTemplate() + "B;Y5;X6;D0 0 4 5\r\n" +
                                builtInTitleTemplate() + rowFor(3, 1, 1, 0, 4, "n", "71") +
                                rowFor(4, 1, 2, 0, 8, "n,s", "49") +
                                rowFor(5, 2, 1, 1, 21, "s,f", "") + "E\r\n";
    EXPECT_EQ(script, expected);
}

TEST_F(SylkExport, EmptyChartAndNoGridGiveTheScriptWithoutRows)
{
    const QByteArray golden = readBytes(goldenPath("empty.slk"));
    KeP empty;
    ChartEdit(empty).resizeCells(50);
    EXPECT_EQ(SylkWriter::script(empty), golden);
    const KeP none;
    EXPECT_EQ(SylkWriter::script(none), golden);
    ASSERT_TRUE(SaveChart(scripting(KeP()), path("none.slk"), 1).ok());
    EXPECT_EQ(readBytes(path("none.slk")), golden);
}

TEST_F(SylkExport, KeysInCellZeroWithoutAnyMarkerAreTheFinalCell)
{
    const KeP kep = chartWith(10, {{0, 5}, {3, 1}});
    EXPECT_EQ(SylkWriter::finalCell(kep), 0);
    EXPECT_EQ(rowsOf(SylkWriter::script(kep)),
              rowFor(3, 1, 0, 0, 0, "n,f", "6") + rowFor(4, 1, 0, 3, 3, "n", "7"));
}

TEST_F(SylkExport, MeasureBeatAndSixteenthOfEachCell)
{
    const KeP kep = chartWith(40, {{15, 1}, {16, 1}, {17, 1}, {33, 7}});
    EXPECT_EQ(rowsOf(SylkWriter::script(kep)),
              rowFor(3, 1, 3, 3, 15, "n", "7") + rowFor(4, 2, 0, 0, 16, "n", "7") +
                  rowFor(5, 2, 0, 1, 17, "n", "7") + rowFor(6, 3, 0, 1, 33, "s,f", ""));
}

TEST_F(SylkExport, KeysAreListedInRowOrderWhateverTheirPlacing)
{
    KeP kep;
    ChartEdit(kep).resizeCells(2);
    for (int r : {6, 2, 4, 1, 5, 3})
        ChartEdit(kep).set(KeP::flatIndex(1, r), 1);
    ChartEdit(kep).set(KeP::flatIndex(1, 7), 1);
    EXPECT_EQ(rowsOf(SylkWriter::script(kep)), rowFor(3, 1, 0, 1, 1, "n,s,f", "741963"));
}

TEST_F(SylkExport, MarkerAloneBeforeTheFinalCellIsActionS)
{
    const KeP kep = chartWith(30, {{2, 7}, {20, 7}});
    EXPECT_EQ(rowsOf(SylkWriter::script(kep)),
              rowFor(3, 1, 0, 2, 2, "s", "") + rowFor(4, 2, 1, 0, 20, "s,f", ""));
}

TEST_F(SylkExport, ForeignByteValuesCountAsClear)
{
    KeP kep = chartWith(30, {{5, 1}, {9, 7}});
    ChartEdit(kep).set(KeP::flatIndex(5, 2), 2);    // not a key
    ChartEdit(kep).set(KeP::flatIndex(12, 3), 255); // cell not written
    ChartEdit(kep).set(KeP::flatIndex(25, 7), 2);   // not the final marker
    ChartEdit(kep).set(0, 1);                       // belongs to no cell
    EXPECT_EQ(SylkWriter::finalCell(kep), 9);
    EXPECT_EQ(rowsOf(SylkWriter::script(kep)),
              rowFor(3, 1, 1, 1, 5, "n", "7") + rowFor(4, 1, 2, 1, 9, "s,f", ""));
}

TEST_F(SylkExport, NameGetsSlkAppendedUnlessPresentInAnyCase)
{
    const KeP kep = scripting(workedExample());
    EXPECT_EQ(SaveChart(kep, path("x.SLK"), 1).path, path("x.SLK"));
    EXPECT_EQ(SaveChart(kep, path("x"), 1).path, path("x.slk"));
    EXPECT_EQ(SaveChart(kep, path("x.zts"), 1).path, path("x.zts.slk"));
    for (const char* name : {"x.SLK", "x.slk", "x.zts.slk"})
        EXPECT_TRUE(QFileInfo::exists(path(name))) << name;
    EXPECT_FALSE(QFileInfo::exists(path("x.zts")));
}

TEST_F(SylkExport, WithoutScriptModeOrOtherFilterTheNativeFileIsWritten)
{
    EXPECT_EQ(SaveChart(workedExample(), path("a.slk"), 1).path, path("a.slk.zts"));
    EXPECT_EQ(SaveChart(scripting(workedExample()), path("b"), 2).path, path("b.zts"));
    EXPECT_EQ(readBytes(path("b.zts")), readBytes(goldenPath("worked-example.zts")));
}

TEST_F(SylkExport, EveryByteBelongsToALineEndingInCrLf)
{
    KeP kep;
    ChartEdit(kep).resizeCells(500);
    for (int c = 0; c < 500; c += 3)
        ChartEdit(kep).set(KeP::flatIndex(c, 1 + c % 7), 1);
    const QByteArray script = SylkWriter::script(kep);
    ASSERT_TRUE(script.endsWith("\r\n"));
    EXPECT_EQ(script.count('\n'), script.count("\r\n"));
    EXPECT_EQ(script.count('\r'), script.count("\r\n"));
    EXPECT_EQ(script.count("\r\n"), 64 + 1 + 22 + 6 * 167 + 1);
    EXPECT_TRUE(script.contains("B;Y169;X6;D0 0 168 5\r\n"));
}

TEST_F(SylkExport, ChartsOwnTemplatesAreWrittenWhenLoaded)
{
    KeP kep = workedExample();
    kep.HeaderTemplate = "H\r\n";
    kep.TitleTemplate = "T\r\n";
    const QByteArray script = SylkWriter::script(kep);
    EXPECT_TRUE(script.startsWith("H\r\nB;Y5;X6;D0 0 4 5\r\nT\r\nC;Y3;X1;K1\r\n"));
}

TEST_F(SylkExport, WriteIntoAMissingFolderFails)
{
    const ChartResult r = SaveChart(scripting(workedExample()), path("no/dir/x"), 1);
    EXPECT_EQ(r.status, ChartResult::Status::WriteFailed);
    EXPECT_TRUE(r.reason.startsWith(QStringLiteral("cannot be written: ")));
}

TEST_F(SylkExport, LargeRowNumbersAreWrittenInFull)
{
    KeP kep;
    ChartEdit(kep).resizeCells(40001);
    for (int c = 0; c <= 40000; ++c)
        ChartEdit(kep).set(KeP::flatIndex(c, 4), 1);
    const QByteArray script = SylkWriter::script(kep);
    EXPECT_TRUE(script.contains("B;Y40003;X6;D0 0 40002 5\r\n"));
    EXPECT_TRUE(script.endsWith(rowFor(40003, 2501, 0, 0, 40000, "n", "9") + "E\r\n"));
}
