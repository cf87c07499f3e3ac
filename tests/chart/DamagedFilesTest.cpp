// Chart files cut off or made to exhaust memory: read as far as they go and said so, or
// refused without being buffered whole.
#include "ChartFile.h"
#include "ChartTestFiles.h"

#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

TEST(DamagedFiles, ACutOffChartIsReadZeroFilledAndSaysSo)
{
    // 400 cells with 14 markers, cut after 1,000 of its 2,825 bytes: 6 markers are left.
    KeP whole = chartWith(400, {});
    for (int32_t c = 0; c < 14; ++c)
        ChartEdit(whole).set(KeP::flatIndex(c * 27, 7), 1);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.zts"));
    writeBytes(path, nativeFile(whole.upperIndex(), gridBytes(whole)).left(1000));
    KeP kep;
    ChartEdit edit(kep);
    const ChartResult r = LoadChart(edit, path);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(kep.TotalBeats, 400);
    EXPECT_EQ(kep.isSet(135, 7) + kep.isSet(162, 7), 1);
    EXPECT_TRUE(r.cutShort);
    EXPECT_EQ(r.note, QStringLiteral("shorter than its header claims (1000 of 2825 bytes); the "
                                     "cells it lacks are read as empty"));

    // The tool says it on a line of its own, and exits as for any chart it read.
    QProcess tool;
    tool.start(QStringLiteral(TAVIX_CHART_TOOL), {QStringLiteral("info"), path});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardError()),
              QStringLiteral("tavix-chart: %1: %2\n").arg(path, r.note));
}

TEST(DamagedFiles, AScriptLineWithNoEndIsRefusedWithoutBufferingIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one-line.slk"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, 'C');
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(f.write(block), block.size());
    }
    KeP kep = chartWith(40, {{4, 1}});
    const auto grid = kep.KeyGrid;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    ChartEdit edit(kep);
    const ChartResult r = LoadChart(edit, path);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(r.status, ChartResult::Status::ScriptError);
    EXPECT_EQ(r.reason, QStringLiteral("script error at line 1: a line longer than 1048576 bytes"));
    EXPECT_EQ(kep.KeyGrid, grid);
    // A few read chunks at most, far from the 200 MB of the line.
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);
}
