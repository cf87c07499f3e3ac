#include "ChartTool.h"
#include "ChartTestFiles.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

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
