#include "ChartTool.h"
#include "ChartTestFiles.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <cmath>

using namespace tavix::test;

namespace {

struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
};

// Runs the built tool as a chart maker's batch script would.
ToolRun runTool(const QStringList& args, const QString& workDir = {})
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(TAVIX_CHART_TOOL), args);
    ToolRun r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "tavix-chart did not finish: " << p.errorString().toStdString();
        return r;
    }
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class ChartTool : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
};

} // namespace

TEST_F(ChartTool, ConvertsTheWorkedExampleToTheExactScriptAndBack)
{
    ToolRun r =
        runTool({QStringLiteral("convert"), goldenPath("worked-example.zts"), path("w.slk")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.isEmpty());
    EXPECT_EQ(readBytes(path("w.slk")), readBytes(goldenPath("worked-example.slk")));

    r = runTool({QStringLiteral("convert"), path("w.slk"), path("back")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readBytes(path("back.zts")), readBytes(goldenPath("worked-example.zts")));
}

TEST_F(ChartTool, ConvertStartsFromAnEmptyGridOfTheGivenCells)
{
    const ToolRun r =
        runTool({QStringLiteral("convert"), QStringLiteral("--cells"), QStringLiteral("40"),
                 goldenPath("worked-example.slk"), path("o.ZTS")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QByteArray bytes = readBytes(path("o.ZTS"));
    EXPECT_EQ(bytes.size(), 25 + 7 * 40);
    EXPECT_FALSE(QFileInfo::exists(path("o.ZTS.zts")));
}

TEST_F(ChartTool, InfoPrintsTheCountsAndTheLength)
{
    ToolRun r = runTool({QStringLiteral("info"), goldenPath("worked-example.zts")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("cells: 22\nkeys: 4\nmarkers: 2\nfinal cell: 21\nlength: 0:03\n"));

    r = runTool({QStringLiteral("info"), goldenPath("worked-example.slk"),
                 QStringLiteral("--cells"), QStringLiteral("1200"), QStringLiteral("--bpm"),
                 QStringLiteral("50")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("cells: 1200\nkeys: 4\nmarkers: 2\nfinal cell: 21\nlength: 6:00\n"));
}

TEST_F(ChartTool, InfoOfTheShippedExample)
{
    const ToolRun r = runTool({QStringLiteral("info"), examplePath("example.zts")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("cells: 64\nkeys: 29\nmarkers: 4\nfinal cell: 63\nlength: 0:09\n"));
}

TEST_F(ChartTool, FileErrorsExitOneWithOneLineNamingTheFile)
{
    writeBytes(path("bad.zts"), nativeFile(-7, {}));
    writeBytes(path("junk.zts"), QByteArray("not a chart at all, just text"));
    writeBytes(path("broken.slk"), QByteArray("ID;P\r\nC;Y3;X4;K5\r\nC;X6;K\r\n"));
    const struct
    {
        QStringList args;
        QString line;
    } cases[] = {
        {{QStringLiteral("info"), path("missing.zts")},
         QStringLiteral("tavix-chart: %1: cannot be opened: No such file or directory\n")
             .arg(path("missing.zts"))},
        {{QStringLiteral("info"), path("junk.zts")},
         QStringLiteral("tavix-chart: %1: not a chart file\n").arg(path("junk.zts"))},
        {{QStringLiteral("info"), path("bad.zts")},
         QStringLiteral("tavix-chart: %1: bad header: negative upper index -7\n")
             .arg(path("bad.zts"))},
        {{QStringLiteral("convert"), path("broken.slk"), path("out.zts")},
         QStringLiteral("tavix-chart: %1: script error at line 3: a K field holds neither a "
                        "number nor a quoted text\n")
             .arg(path("broken.slk"))},
        {{QStringLiteral("convert"), goldenPath("worked-example.zts"), path("none/x.slk")},
         QStringLiteral("tavix-chart: %1: cannot be written: ").arg(path("none/x.slk"))},
    };
    for (const auto& c : cases) {
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.status, 1) << c.line.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.line)) << r.err.toStdString();
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(path("out.zts")));
}

TEST_F(ChartTool, ConvertingAnEmptyScriptToANativeFileHasNothingToSave)
{
    writeBytes(path("empty.slk"), QByteArray());
    const ToolRun r = runTool({QStringLiteral("convert"), path("empty.slk"), path("e")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, QStringLiteral("tavix-chart: %1: nothing to save yet\n").arg(path("e.zts")));
    // The script of no grid exists, as the export writes it.
    const ToolRun s = runTool({QStringLiteral("convert"), path("empty.slk"), path("e.slk")});
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(readBytes(path("e.slk")), readBytes(goldenPath("empty.slk")));
}

TEST_F(ChartTool, UsageErrorsExitTwoWithTheUsage)
{
    const QStringList cases[] = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("convert"), QStringLiteral("only-one")},
        {QStringLiteral("convert"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
        {QStringLiteral("info")},
        {QStringLiteral("info"), QStringLiteral("x.zts"), QStringLiteral("--cells")},
        {QStringLiteral("info"), QStringLiteral("x.zts"), QStringLiteral("--cells"),
         QStringLiteral("-3")},
        {QStringLiteral("info"), QStringLiteral("x.zts"), QStringLiteral("--cells=4194305")},
        {QStringLiteral("info"), QStringLiteral("x.zts"), QStringLiteral("--bpm"),
         QStringLiteral("fast")},
        {QStringLiteral("info"), QStringLiteral("x.zts"), QStringLiteral("--bpm=0")},
        {QStringLiteral("convert"), QStringLiteral("--bpm"), QStringLiteral("90"),
         QStringLiteral("a"), QStringLiteral("b")},
        {QStringLiteral("info"), QStringLiteral("x.zts"), QStringLiteral("--verbose")},
        {QStringLiteral("stats")},
        {QStringLiteral("stats"), QStringLiteral("x.zts"), QStringLiteral("--offset=0.7")},
        {QStringLiteral("info"), QStringLiteral("x.zts"), QStringLiteral("--song=s.ogg")},
        {QStringLiteral("check"), QStringLiteral("x.zts"), QStringLiteral("--offset"),
         QStringLiteral("0,7")},
        {QStringLiteral("check"), QStringLiteral("x.zts"), QStringLiteral("--song")},
    };
    for (const QStringList& args : cases) {
        const ToolRun r = runTool(args);
        EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("tavix-chart: "))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(tavix::chartToolUsage())) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(ChartTool, InfoRefusesTemposTooSlowForTheLengthToBeShown)
{
    const QStringList cases[] = {
        // The rate rounds to 0 in single precision: the length would print 0:00.
        {QStringLiteral("info"), goldenPath("worked-example.zts"), QStringLiteral("--bpm"),
         QStringLiteral("1e-50")},
        // The length of the largest grid passes the 32 bits of a position.
        {QStringLiteral("info"), goldenPath("worked-example.slk"), QStringLiteral("--cells"),
         QStringLiteral("4194304"), QStringLiteral("--bpm=0.001")},
    };
    for (const QStringList& args : cases) {
        const ToolRun r = runTool(args);
        EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString() << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(tavix::chartToolUsage())) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    // Slow, but its length still shows.
    const ToolRun r = runTool({QStringLiteral("info"), goldenPath("worked-example.zts"),
                               QStringLiteral("--bpm"), QStringLiteral("0.01")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("length: 550:00\n"))) << r.out.toStdString();
}

TEST_F(ChartTool, HelpPrintsTheUsageOnStandardOutput)
{
    for (const char* flag : {"--help", "-h"}) {
        const ToolRun r = runTool({QLatin1String(flag)});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, tavix::chartToolUsage());
        EXPECT_TRUE(r.err.isEmpty());
    }
    EXPECT_TRUE(tavix::chartToolUsage().startsWith(
        QStringLiteral("usage: tavix-chart convert [--cells N] INPUT OUTPUT\n"
                       "       tavix-chart info FILE [--cells N] [--bpm B]\n")));
}

TEST_F(ChartTool, InProcessRunMatchesTheTool)
{
    QString out;
    QString err;
    QTextStream o(&out);
    QTextStream e(&err);
    EXPECT_EQ(tavix::runChartTool({QStringLiteral("info"), goldenPath("three-cells.zts")}, o, e),
              0);
    EXPECT_EQ(out, QStringLiteral("cells: 3\nkeys: 3\nmarkers: 1\nfinal cell: 0\nlength: 0:00\n"));
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(ChartTool, StatsOfTheShippedExample)
{
    const ToolRun r = runTool({QStringLiteral("stats"), examplePath("example.zts")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // At 100 BPM the densest 4 s are 27 cells: cells 36-62 hold 16 keys in 4.05 s.
    EXPECT_EQ(r.out, QStringLiteral("cells: 64\nkeys: 29\nchords: 8\nmarkers: 4\n"
                                    "first keyed cell: 0\nlast keyed cell: 62\nkeyed cells: 63\n"
                                    "keyed ms: 9450\nkeys per second: 3.07\n"
                                    "densest 4 s keys per second: 3.95\n"
                                    "densest 4 s from cell: 36\n"
                                    "longest run without a rest: 1\nlongest run from cell: 0\n"
                                    "keys per measure: 6 5 6 12\n"));
}

TEST_F(ChartTool, CheckExitsOneWithALinePerFinding)
{
    // The editor's first offset, 0.7, puts cell 0 28 ms ahead of the music.
    ToolRun r = runTool({QStringLiteral("check"), examplePath("example.zts")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              QStringLiteral("cells 0-0: 1 key before the music starts, in the lead of 28 ms\n"));
    EXPECT_TRUE(r.err.isEmpty());

    r = runTool(
        {QStringLiteral("check"), examplePath("example.zts"), QStringLiteral("--offset=1.4")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(ChartTool, CheckAgainstASong)
{
    // 4 s of a tone at 44.1 kHz, silent from 2.0 s to 2.9 s.
    constexpr int Rate = 44100;
    QByteArray samples;
    for (int i = 0; i < 4 * Rate; ++i) {
        const bool silent = i >= 2 * Rate && i < 29 * Rate / 10;
        const auto v = int16_t(silent ? 0 : 8000 * std::sin(i * 0.0627));
        samples.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    }
    const auto le = [](uint32_t v, int bytes) {
        QByteArray b;
        for (int i = 0; i < bytes; ++i)
            b.append(char((v >> (8 * i)) & 0xFF));
        return b;
    };
    writeBytes(path("song.wav"), "RIFF" + le(36 + samples.size(), 4) + "WAVEfmt " + le(16, 4) +
                                     le(1, 2) + le(1, 2) + le(Rate, 4) + le(2 * Rate, 4) +
                                     le(2, 2) + le(16, 2) + "data" + le(samples.size(), 4) +
                                     samples);
    const ToolRun r =
        runTool({QStringLiteral("check"), examplePath("example.zts"), QStringLiteral("--bpm"),
                 QStringLiteral("200"), QStringLiteral("--offset"), QStringLiteral("1.4"),
                 QStringLiteral("--song"), path("song.wav")});
#ifdef TAVIX_CHART_TOOL_READS_SONGS
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    // 75 ms a cell: cells 28-36 fall in the silence, cells 54 on after the end.
    EXPECT_EQ(r.out,
              QStringLiteral("cells 28-36: 4 keys where the song is silent (0.9 s from 0:02)\n"
                             "cells 56-62: 9 keys after the song ends at 0:04\n"));
#else
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("reads no songs"))) << r.err.toStdString();
#endif
}
