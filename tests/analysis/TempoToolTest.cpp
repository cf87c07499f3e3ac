#include "TestAudio.h"
#include "TestSongs.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TAVIX_TEMPO_TOOL), args);
    ToolRun r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "tavix-tempo did not finish: " << p.errorString().toStdString();
        return r;
    }
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class TempoTool : public ::testing::Test
{
protected:
    tavix::test::TempDir dir;
    QString path(const char* name) const { return QString::fromStdString(dir.file(name)); }
    QString writeSong(const char* name, const std::vector<int16_t>& samples) const
    {
        EXPECT_TRUE(tavix::test::writeSoundFile(dir.file(name), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2,
                                                44100, samples));
        return path(name);
    }
};

} // namespace

TEST_F(TempoTool, PrintsTempoFirstBeatOffsetAndConfidence)
{
    const tavix::test::SongPlan plan{"tool", 128.37, 333.0, 20.0, false, true};
    const QString song = writeSong("song.wav", tavix::test::makeSong(plan));
    const ToolRun r = runTool({song});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    const QRegularExpression lines(
        QStringLiteral("^bpm: (\\d+\\.\\d\\d)\\n"
                       "first-beat-ms: (\\d+)\\n"
                       "offset: (\\d+\\.\\d\\d\\d)\\n"
                       "confidence: ([01]\\.\\d\\d)\\n"
                       "constant: yes\\n"
                       "candidates:\\n"
                       "(  \\d+\\.\\d\\d score [01]\\.\\d\\d "
                       "first-beat-ms \\d+ offset \\d+\\.\\d{3}\\n){1,3}$"));
    const auto m = lines.match(r.out);
    ASSERT_TRUE(m.hasMatch()) << r.out.toStdString();
    const double bpm = m.captured(1).toDouble();
    const double t0 = m.captured(2).toDouble();
    EXPECT_NEAR(bpm, plan.bpm, 0.05);
    EXPECT_LE(std::abs(std::remainder(t0 - plan.firstBeatMs, 60000.0 / plan.bpm)), 5.0);
    // The offset follows from the two figures printed before it.
    const double lead = std::fmod(t0, 60000.0 / bpm);
    EXPECT_EQ(m.captured(3), QString::number(1.4 + lead / (0.4 * bpm), 'f', 3));
    EXPECT_GE(m.captured(4).toDouble(), 0.7);

    const ToolRun slow = runTool(
        {QStringLiteral("--min-bpm"), QStringLiteral("40"), song, QStringLiteral("--max-bpm=80")});
    ASSERT_EQ(slow.status, 0) << slow.err.toStdString();
    ASSERT_TRUE(slow.out.startsWith(QStringLiteral("bpm: "))) << slow.out.toStdString();
    EXPECT_NEAR(slow.out.section(QLatin1Char('\n'), 0, 0).mid(5).toDouble(), plan.bpm / 2, 0.05);
}

TEST_F(TempoTool, ASilentSongHasNoTempo)
{
    const ToolRun r =
        runTool({writeSong("quiet.wav", std::vector<int16_t>(size_t(2 * 44100 * 5)))});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              QStringLiteral("bpm: 0.00\nfirst-beat-ms: 0\noffset: 1.400\nconfidence: 0.00\n"));
}

TEST_F(TempoTool, FileErrorsExitOneWithOneLineNamingTheFile)
{
    std::ofstream(dir.file("notes.ogg")) << "not a song at all";
    const ToolRun missing = runTool({path("missing.ogg")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, QStringLiteral("tavix-tempo: %1: cannot be opened: No such file or "
                                          "directory\n")
                               .arg(path("missing.ogg")));
    const ToolRun junk = runTool({path("notes.ogg")});
    EXPECT_EQ(junk.status, 1);
    EXPECT_TRUE(junk.err.startsWith(
        QStringLiteral("tavix-tempo: %1: not a sound file: ").arg(path("notes.ogg"))))
        << junk.err.toStdString();
    EXPECT_EQ(junk.err.count(QLatin1Char('\n')), 1) << junk.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty() && junk.out.isEmpty());
}

TEST_F(TempoTool, UsageErrorsExitTwoAndHelpPrintsTheUsage)
{
    const QStringList cases[] = {
        {},
        {QStringLiteral("a.ogg"), QStringLiteral("b.ogg")},
        {QStringLiteral("a.ogg"), QStringLiteral("--min-bpm")},
        {QStringLiteral("a.ogg"), QStringLiteral("--min-bpm"), QStringLiteral("fast")},
        {QStringLiteral("a.ogg"), QStringLiteral("--max-bpm=0")},
        {QStringLiteral("a.ogg"), QStringLiteral("--min-bpm=200"), QStringLiteral("--max-bpm=100")},
        {QStringLiteral("a.ogg"), QStringLiteral("--verbose")},
    };
    for (const QStringList& args : cases) {
        const ToolRun r = runTool(args);
        EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("tavix-tempo: "))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage: tavix-tempo SONG")))
            << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const ToolRun help = runTool({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(
        QStringLiteral("usage: tavix-tempo SONG [--min-bpm A] [--max-bpm B]\n")));
    EXPECT_TRUE(help.err.isEmpty());
}
