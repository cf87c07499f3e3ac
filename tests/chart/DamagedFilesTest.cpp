// Chart files that are cut off or made to exhaust memory: read as far as they go, and
// said so, or refused without buffering them whole.
#include "ChartFile.h"
#include "ChartTestFiles.h"
#include "NativeChartReader.h"
#include "SylkReader.h"

#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

// 400 cells with 14 markers, cut after its first 1,000 bytes.
QByteArray cutChart()
{
    KeP kep = chartWith(400, {{3, 1}});
    for (int32_t c = 0; c < 14; ++c)
        ChartEdit(kep).set(KeP::flatIndex(c * 27, 7), 1);
    return nativeFile(kep.upperIndex(), gridBytes(kep)).left(1000);
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST(DamagedFiles, ACutOffChartIsReadZeroFilledAndSaysSo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.zts"));
    writeBytes(path, cutChart());
    KeP kep;
    ChartEdit edit(kep);
    const ChartResult r = LoadChart(edit, path);
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    EXPECT_EQ(kep.TotalBeats, 400);
    int markers = 0;
    for (int32_t c = 0; c < kep.TotalBeats; ++c)
        markers += kep.isSet(c, 7);
    EXPECT_EQ(markers, 6);
    EXPECT_TRUE(r.cutShort);
    EXPECT_EQ(r.note, QStringLiteral("shorter than its header claims (1000 of 2825 bytes); the "
                                     "cells it lacks are read as empty"));

    // A whole file says nothing.
    writeBytes(path, nativeFile(kep.upperIndex(), gridBytes(kep)));
    ChartEdit again(kep);
    const ChartResult whole = LoadChart(again, path);
    EXPECT_FALSE(whole.cutShort);
    EXPECT_TRUE(whole.note.isEmpty());

    // The tool says it on a line of its own and exits as for any chart it read.
    writeBytes(path, cutChart());
    QProcess tool;
    tool.start(QStringLiteral(TAVIX_CHART_TOOL), {QStringLiteral("info"), path});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_TRUE(
        QString::fromUtf8(tool.readAllStandardOutput()).contains(QStringLiteral("markers: 6")));
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
    const long before = peakRssKb();
    ChartEdit edit(kep);
    const ChartResult r = LoadChart(edit, path);
    EXPECT_EQ(r.status, ChartResult::Status::ScriptError);
    EXPECT_EQ(r.line, 1);
    EXPECT_TRUE(r.reason.contains(QStringLiteral("longer than"))) << r.reason.toStdString();
    EXPECT_EQ(kep.KeyGrid, grid);
    // Far less than the 200 MB line (a few read chunks at most).
    EXPECT_LT(peakRssKb() - before, 64 * 1024);
}
