// A chart remembers what it was made with: its song, tempo and offset come back when it
// opens, as one step; its own file stays as it was.
#include "ChartHistory.h"
#include "ChartSideFile.h"
#include "EditingRig.h"
#include "NativeChartWriter.h"
#include "NumberReading.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST(ChartNotes, AChartReopensWithItsSongTempoAndOffsetAsOneStep)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.ogg"));
    ASSERT_TRUE(writeAll(song, "ogg"));
    const QString chart = dir.filePath(QStringLiteral("chart.zts"));
    std::vector<uint8_t> made;
    {
        EditingRig maker(0);
        ASSERT_TRUE(maker.openSong(song.toStdString(), 60000));
        ASSERT_TRUE(
            maker.ke.applyTempoTexts(QStringLiteral("140.34"), QStringLiteral("3.680")).isEmpty());
        maker.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
        maker.chooser.answerWith(dir.filePath(QStringLiteral("chart")));
        ASSERT_TRUE(maker.ke.saveChartCommand());
        made = maker.kep.KeyGrid.bytes();
        // The chart file is the grid alone, as ever.
        const QString plain = dir.filePath(QStringLiteral("plain.zts"));
        ASSERT_TRUE(NativeChartWriter::writeFile(maker.kep, plain).ok());
        EXPECT_EQ(readAll(chart), readAll(plain));
    }
    EditingRig user; // another song, 100 BPM, offset 0.7, and a key of its own
    user.engine.songs[song.toStdString()] = 60000;
    user.click(EditingRig::xOfCell(5), EditingRig::yOfRow(2));
    const auto before = user.kep.KeyGrid;
    const int steps = user.ke.history().stack().index();
    user.chooser.answerWith(chart);
    user.ke.openChartCommand();
    EXPECT_EQ(user.ke.MSeteD().text(), QStringLiteral("song.ogg"));
    EXPECT_EQ(user.ke.sBpmB().text(), QStringLiteral("140.34"));
    EXPECT_EQ(user.ke.slSetOff().text(), QStringLiteral("3.680"));
    EXPECT_EQ(user.kep.BeatRate, KeP::rateFromBpm(140.34));
    EXPECT_DOUBLE_EQ(user.ke.state().OffsetVal, offsetTerm(3.68));
    EXPECT_EQ(user.kep.KeyGrid, made);
    EXPECT_FALSE(user.ke.isModified());
    EXPECT_EQ(user.ke.history().stack().index(), steps + 1);

    user.ke.undoEdit();
    EXPECT_EQ(user.kep.KeyGrid, before);
    EXPECT_EQ(user.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(user.ke.slSetOff().text(), QStringLiteral("0.7"));

    // A song given with the chart (on the command line) is the one kept.
    ASSERT_TRUE(user.openSong("/m/other.ogg", 60000));
    EXPECT_TRUE(user.ke.openChartFile(chart, QStringLiteral("chart.zts"), true));
    EXPECT_EQ(user.ke.MSeteD().text(), QStringLiteral("other.ogg"));
    EXPECT_EQ(user.ke.sBpmB().text(), QStringLiteral("140.34"));

    // Without its side file a chart opens as it always has: tempo, offset and song stay.
    user.ke.undoEdit();
    ASSERT_TRUE(QFile::remove(chart + QStringLiteral(".tavix")));
    user.chooser.answerWith(chart);
    user.ke.openChartCommand();
    EXPECT_EQ(user.ke.MSeteD().text(), QStringLiteral("other.ogg"));
    EXPECT_EQ(user.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(user.kep.KeyGrid, made);
}

TEST(ChartNotes, ASongThatIsGoneIsLookedForBesideTheChartThenAskedFor)
{
    QTemporaryDir dir;
    const QString chart = dir.filePath(QStringLiteral("c.zts"));
    EditingRig rig;
    ASSERT_TRUE(NativeChartWriter::writeFile(rig.kep, chart).ok());
    ChartSideFile::Notes notes;
    notes.songPath = QStringLiteral("/nowhere/gone.ogg");
    notes.tempoText = QStringLiteral("120");
    notes.offsetText = QStringLiteral("1.0");
    ASSERT_TRUE(ChartSideFile::write(chart, notes, {}));

    rig.chooser.answerWith(chart);
    rig.chooser.answerCancel(); // where the song is
    rig.ke.openChartCommand();
    ASSERT_EQ(rig.chooser.requests.size(), 2u);
    EXPECT_TRUE(rig.chooser.requests[1].title.contains(QStringLiteral("gone.ogg")));
    EXPECT_EQ(rig.chooser.requests[1].initDir, dir.path());
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("song.ogg"));
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("120"));
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("1.0"));

    // Moved along with the chart, it is found beside it without a question.
    const QString beside = dir.filePath(QStringLiteral("gone.ogg"));
    ASSERT_TRUE(writeAll(beside, "ogg"));
    rig.engine.songs[beside.toStdString()] = 30000;
    rig.chooser.answerWith(chart);
    rig.ke.openChartCommand();
    EXPECT_EQ(rig.chooser.requests.size(), 3u);
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("gone.ogg"));
}
