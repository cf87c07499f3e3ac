// Opening and saving never lose keys unasked nor claim more than they did: songs shorter
// than the chart, a length learned late, cut-off charts, scripts that cannot give the chart
// back, unusable tempos, and messages in the user's words.
#include "ChartHistory.h"
#include "EditingRig.h"
#include "GData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

constexpr uint8_t Kp7 = 0x47;

QByteArray nativeChart(int32_t cells, const std::vector<std::pair<int32_t, int>>& keys,
                       char value = 1)
{
    QByteArray bytes("ZorvikTuneScribeFile");
    for (int i = 0; i < 4; ++i)
        bytes.append(char(((7 * cells) >> (8 * i)) & 0xFF));
    QByteArray grid(7 * cells + 1, '\0');
    for (const auto& [cell, row] : keys)
        grid[qsizetype(KeP::flatIndex(cell, row))] = value;
    return bytes + grid;
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A song whose length reads `estimateMs` until its decoding ends.
void openDecoding(EditingRig& rig, int32_t estimateMs, int32_t realMs)
{
    rig.engine.songLengthWhileDecoding["/m/vbr.mp3"] = estimateMs;
    rig.engine.songProgress["/m/vbr.mp3"] = 0.2;
    ASSERT_TRUE(rig.openSong("/m/vbr.mp3", realMs));
}

void finishDecoding(EditingRig& rig, int32_t realMs)
{
    rig.engine.streams[rig.ke.state().MusicStream].decodeProgress = 1.0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ke.state().SongLenMs == realMs; }, 5000));
}

} // namespace

TEST(OpenMusicSafety, KeysPastTheEndOfAShorterSongAreAskedForFirst)
{
    EditingRig rig; // 400 cells
    for (const auto& [cell, row] : {std::pair{10, 2}, {250, 1}, {250, 4}, {300, 7}})
        rig.set(cell, row);
    const auto grid = rig.kep.KeyGrid;
    rig.engine.songs["/m/short.ogg"] = 30000; // 200 cells
    rig.messages.goOnAnswers = {false};
    rig.chooser.answerWith(QStringLiteral("/m/short.ogg"));
    rig.ke.buttonClick(8);
    ASSERT_EQ(rig.messages.questions.size(), 1u);
    EXPECT_TRUE(rig.messages.questions[0].startsWith(
        QStringLiteral("2 keys and 1 marker past the end of the song will be removed.")));
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("song.ogg"));
    EXPECT_EQ(rig.kep.KeyGrid, grid);
    // Going on cuts as before, and undo brings them back.
    rig.chooser.answerWith(QStringLiteral("/m/short.ogg"));
    rig.ke.buttonClick(8);
    EXPECT_EQ(rig.kep.TotalBeats, 200);
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("short.ogg"));
    rig.ke.undoEdit();
    EXPECT_EQ(rig.kep.KeyGrid, grid);
}

TEST(OpenMusicSafety, ALengthLearnedLateNeverDropsKeysNorMarksAnOpenedChartChanged)
{
    QTemporaryDir dir;
    const QString chart = dir.filePath(QStringLiteral("c.zts"));
    // A header that guessed long (the key at 400 and the marker at 405 stay), then short.
    for (const auto& [estimate, real, cells, after] :
         {std::array{61000, 59000, 407, 406}, std::array{59000, 61000, 393, 407}}) {
        EditingRig rig(0);
        openDecoding(rig, estimate, real);
        std::vector<std::pair<int32_t, int>> keys{{390, 1}};
        const bool past = cells > 405;
        if (past)
            keys.insert(keys.end(), {{400, 1}, {405, 7}});
        ASSERT_TRUE(writeAll(chart, nativeChart(cells, keys)));
        rig.chooser.answerWith(chart);
        rig.ke.openChartCommand();
        finishDecoding(rig, real);
        EXPECT_EQ(rig.kep.TotalBeats, after);
        EXPECT_EQ(std::count(rig.kep.KeyGrid.begin(), rig.kep.KeyGrid.end(), 1), past ? 3 : 1);
        EXPECT_FALSE(rig.ke.isModified());
    }
}

TEST(OpenMusicSafety, ALengthLearnedWhileRecordingKeepsTheTakeOneStep)
{
    EditingRig rig(0);
    openDecoding(rig, 61000, 59000);
    const int before = rig.ke.history().stack().index();
    rig.ke.buttonClick(0);
    rig.step(300);
    rig.keys->press(Kp7, rig.engine.now);
    rig.step(20);
    finishDecoding(rig, 59000);
    rig.ke.buttonClick(1);
    EXPECT_EQ(rig.kep.TotalBeats, 393);
    EXPECT_EQ(rig.ke.history().stack().index(), before + 1);
}

TEST(OpenChartSafety, ACutOffChartSaysSoAndIsNotMarkedSaved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.zts"));
    ASSERT_TRUE(writeAll(path, nativeChart(400, {{3, 1}}).left(1000)));
    EditingRig rig;
    rig.chooser.answerWith(path);
    rig.ke.openChartCommand();
    EXPECT_EQ(rig.kep.at(3, 1), 1);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text,
              QStringLiteral("The chart \"%1\" is shorter than its header claims (1000 of 2825 "
                             "bytes); the cells it lacks are read as empty.")
                  .arg(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(rig.ke.isModified());
}

TEST(SaveSafety, AScriptThatCannotGiveTheChartBackLeavesItMarked)
{
    QTemporaryDir dir;
    EditingRig rig(60000, QStringLiteral("tavix-editor ") + scriptModeSwitch());
    const auto saveScript = [&](const char* name) {
        rig.chooser.answerWith(dir.filePath(QLatin1String(name)), 1);
        EXPECT_TRUE(rig.ke.saveChartCommand());
        EXPECT_EQ(rig.messages.shown.back().text, QStringLiteral("File Save Complete"));
        return rig.ke.isModified();
    };
    // Empty cells after the last key: a script has no rows for them.
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    EXPECT_TRUE(saveScript("trailing"));
    // A value other than 0 and 1, which the script keeps as clear.
    const QString odd = dir.filePath(QStringLiteral("odd.zts"));
    ASSERT_TRUE(writeAll(odd, nativeChart(4, {{3, 2}}, 2)));
    rig.chooser.answerWith(odd);
    rig.ke.openChartCommand();
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    EXPECT_TRUE(saveScript("odd"));
    // The script is the whole chart: saved.
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(2));
    EXPECT_FALSE(saveScript("whole"));
}

TEST(TempoSafety, ATempoWithNoUsableGridIsRefusedAndTheBoxStaysOpen)
{
    EditingRig rig; // 60 s at 100 BPM: 400 cells
    // Below 1 BPM, and so fast that the song would need more cells than a chart holds.
    for (const char* text : {"0", "0.001", "0.99", "-120", "10000000"}) {
        SCOPED_TRACE(text);
        rig.ke.tempoLabelDoubleClicked();
        rig.ke.sBpm().setText(QString::fromLatin1(text));
        rig.ke.commitTempo();
        EXPECT_FALSE(rig.ke.sBpm().isHidden());
        EXPECT_EQ(rig.ke.sBpm().text(), QString::fromLatin1(text));
        EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
        EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
        EXPECT_FALSE(rig.ke.applyTempoTexts(QString::fromLatin1(text), {}).isEmpty());
    }
    rig.ke.sBpm().setText(QStringLiteral("1"));
    rig.ke.commitTempo();
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(1));
}

TEST(OpenMessages, SayWhatIsWrongInTheUsersWordsWithTheLibrarysDetailAfter)
{
    QTemporaryDir dir;
    EditingRig rig;
    const QString noise = dir.filePath(QStringLiteral("noise.ogg"));
    ASSERT_TRUE(writeAll(noise, "not a song"));
    rig.engine.openErrors[noise.toStdString()] = QStringLiteral("Format not recognised.");
    rig.chooser.answerWith(noise);
    rig.ke.buttonClick(8);
    const QString chart = dir.filePath(QStringLiteral("neg.zts"));
    ASSERT_TRUE(writeAll(chart, QByteArray("ZorvikTuneScribeFile\xF0\xFF\xFF\xFF", 24)));
    rig.chooser.answerWith(chart);
    rig.ke.openChartCommand();
    // A "script" of one line with no end is no script, and is not read whole to learn that.
    const QString line = dir.filePath(QStringLiteral("line.slk"));
    ASSERT_TRUE(writeAll(line, QByteArray(3 << 20, 'C')));
    rig.chooser.answerWith(line);
    rig.ke.openChartCommand();
    rig.chooser.answerWith(dir.filePath(QStringLiteral("gone.ogg")));
    rig.ke.buttonClick(8);

    ASSERT_EQ(rig.messages.shown.size(), 4u);
    EXPECT_EQ(rig.messages.shown[0].text,
              QStringLiteral("The music file \"noise.ogg\" cannot be opened: it is not a song file "
                             "this program can read.\n\nDetails: Format not recognised."));
    EXPECT_EQ(rig.messages.shown[1].text,
              QStringLiteral("The chart \"%1\" was not opened: it is damaged or not a chart "
                             "file.\n\nDetails: bad header: negative upper index -16")
                  .arg(QDir::toNativeSeparators(chart)));
    EXPECT_EQ(rig.messages.shown[2].text,
              QStringLiteral("The chart \"%1\" was not opened: it is damaged or not a chart "
                             "script.\n\nDetails: script error at line 1: a line longer than "
                             "1048576 bytes")
                  .arg(QDir::toNativeSeparators(line)));
    EXPECT_TRUE(rig.messages.shown[3].text.startsWith(
        QStringLiteral("The music file \"gone.ogg\" cannot be opened: there is no such file.")));
}
