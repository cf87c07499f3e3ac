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

const QString Caption = QStringLiteral("Zorvik Tavix Editor v1.68");
constexpr uint8_t Kp7 = 0x47, Kp3 = 0x51;

QByteArray nativeChart(int32_t cells, const std::vector<std::pair<int32_t, int>>& keys,
                       uint8_t value = 1)
{
    const int32_t upper = 7 * cells;
    QByteArray bytes("ZorvikTuneScribeFile");
    for (int i = 0; i < 4; ++i)
        bytes.append(char((upper >> (8 * i)) & 0xFF));
    QByteArray grid(upper + 1, '\0');
    for (const auto& [cell, row] : keys)
        grid[qsizetype(KeP::flatIndex(cell, row))] = char(value);
    return bytes + grid;
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

int steps(EditingRig& rig)
{
    return rig.ke.history().stack().index();
}

qsizetype cutQuestions(const EditingRig& rig)
{
    return std::count_if(
        rig.messages.questions.begin(), rig.messages.questions.end(),
        [](const QString& q) { return q.contains(QStringLiteral("past the end")); });
}

} // namespace

TEST(OpenMusicSafety, KeysPastTheEndOfAShorterSongAreAskedForFirst)
{
    EditingRig rig; // 400 cells
    rig.set(10, 2);
    rig.set(250, 1);
    rig.set(250, 4);
    rig.set(300, 7);
    const auto grid = rig.kep.KeyGrid;
    const StreamHandle music = rig.ke.state().MusicStream;
    rig.engine.songs["/m/short.ogg"] = 30000; // 200 cells

    rig.messages.goOnAnswers = {false};
    rig.chooser.answerWith(QStringLiteral("/m/short.ogg"));
    rig.ke.buttonClick(8);
    ASSERT_EQ(rig.messages.questions.size(), 1u);
    EXPECT_TRUE(rig.messages.questions[0].contains(
        QStringLiteral("2 keys and 1 marker past the end of the song will be removed")))
        << rig.messages.questions[0].toStdString();
    EXPECT_EQ(rig.ke.state().MusicStream, music);
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("song.ogg"));
    EXPECT_EQ(rig.kep.KeyGrid, grid);

    // Going on cuts as before, and undo brings them back.
    rig.chooser.answerWith(QStringLiteral("/m/short.ogg"));
    rig.ke.buttonClick(8);
    EXPECT_EQ(cutQuestions(rig), 2);
    EXPECT_EQ(rig.kep.TotalBeats, 200);
    EXPECT_EQ(rig.kep.at(10, 2), 1);
    rig.ke.undoEdit();
    EXPECT_EQ(rig.kep.KeyGrid, grid);

    // Nothing set past the end: no question.
    rig.ke.redoEdit();
    rig.engine.songs["/m/shorter.ogg"] = 20000;
    rig.chooser.answerWith(QStringLiteral("/m/shorter.ogg"));
    rig.ke.buttonClick(8);
    EXPECT_EQ(cutQuestions(rig), 2);
    EXPECT_EQ(rig.kep.TotalBeats, 133);
}

TEST(OpenMusicSafety, ALengthLearnedLateNeverDropsKeysNorMarksAnOpenedChartChanged)
{
    QTemporaryDir dir;
    const QString chart = dir.filePath(QStringLiteral("c.zts"));
    struct Case
    {
        int32_t estimateMs, realMs, chartCells, cellsAfter;
    };
    // A header that guessed long (the key at 400 and the marker at 405 stay), then short.
    for (const Case c : {Case{61000, 59000, 407, 406}, Case{59000, 61000, 393, 407}}) {
        SCOPED_TRACE(c.estimateMs);
        EditingRig rig(0);
        const std::string song = "/m/vbr.mp3";
        rig.engine.songLengthWhileDecoding[song] = c.estimateMs;
        rig.engine.songProgress[song] = 0.2;
        ASSERT_TRUE(rig.openSong(song, c.realMs));
        ASSERT_TRUE(writeAll(chart, nativeChart(c.chartCells, {{390, 1}, {400, 1}, {405, 7}})));
        rig.chooser.answerWith(chart);
        rig.ke.openChartCommand();
        ASSERT_EQ(rig.kep.TotalBeats, c.chartCells);
        ASSERT_FALSE(rig.ke.isModified());

        rig.engine.streams[rig.ke.state().MusicStream].decodeProgress = 1.0;
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ke.state().SongLenMs == c.realMs; }, 5000));
        EXPECT_EQ(rig.kep.TotalBeats, c.cellsAfter);
        EXPECT_EQ(rig.kep.at(390, 1), 1);
        if (c.chartCells > 405) {
            EXPECT_EQ(rig.kep.at(400, 1), 1);
            EXPECT_EQ(rig.kep.at(405, 7), 1);
        }
        EXPECT_FALSE(rig.ke.isModified());
        EXPECT_EQ(rig.ke.windowTitle(), Caption);
    }
}

TEST(OpenMusicSafety, ALengthLearnedWhileRecordingKeepsTheTakeOneStep)
{
    EditingRig rig(0);
    const std::string song = "/m/vbr.mp3";
    rig.engine.songLengthWhileDecoding[song] = 61000;
    rig.engine.songProgress[song] = 0.2;
    ASSERT_TRUE(rig.openSong(song, 59000));
    const int before = steps(rig);
    rig.ke.buttonClick(0);
    rig.step(300);
    rig.keys->press(Kp7, rig.engine.now);
    rig.step(20);
    rig.keys->release(Kp7);
    rig.engine.streams[rig.ke.state().MusicStream].decodeProgress = 1.0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.ke.state().SongLenMs == 59000; }, 5000));
    rig.step(300);
    rig.keys->press(Kp3, rig.engine.now);
    rig.step(20);
    rig.ke.buttonClick(1);
    EXPECT_EQ(rig.kep.TotalBeats, 393);
    EXPECT_EQ(steps(rig), before + 1);
    rig.ke.undoEdit();
    for (uint8_t v : rig.kep.KeyGrid)
        ASSERT_EQ(v, 0);
}

TEST(OpenChartSafety, ACutOffChartSaysSoAndIsNotMarkedSaved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.zts"));
    ASSERT_TRUE(writeAll(path, nativeChart(400, {{3, 1}, {390, 7}}).left(1000)));
    EditingRig rig;
    rig.chooser.answerWith(path);
    rig.ke.openChartCommand();
    EXPECT_EQ(rig.kep.TotalBeats, 400);
    EXPECT_EQ(rig.kep.at(3, 1), 1);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].warning);
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(rig.messages.shown[0].text.contains(
        QStringLiteral("shorter than its header claims (1000 of 2825 bytes)")))
        << rig.messages.shown[0].text.toStdString();
    EXPECT_TRUE(rig.ke.isModified());
    EXPECT_EQ(rig.ke.windowTitle(), Caption + QStringLiteral(" *"));
}

TEST(SaveSafety, AScriptThatCannotGiveTheChartBackLeavesItMarked)
{
    QTemporaryDir dir;
    EditingRig rig(60000, QStringLiteral("tavix-editor ") + scriptModeSwitch());
    // Empty cells after the last key: a script has no row for them.
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    rig.chooser.answerWith(dir.filePath(QStringLiteral("trailing")), 1);
    EXPECT_TRUE(rig.ke.saveChartCommand());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("trailing.slk"))));
    EXPECT_EQ(rig.messages.shown.back().text, QStringLiteral("File Save Complete"));
    EXPECT_TRUE(rig.ke.isModified());

    // A value other than 0 and 1: the script keeps it as clear.
    const QString odd = dir.filePath(QStringLiteral("odd.zts"));
    ASSERT_TRUE(writeAll(odd, nativeChart(4, {{3, 2}}, 2)));
    rig.chooser.answerWith(odd);
    rig.ke.openChartCommand();
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    rig.chooser.answerWith(dir.filePath(QStringLiteral("odd")), 1);
    EXPECT_TRUE(rig.ke.saveChartCommand());
    EXPECT_TRUE(rig.ke.isModified());

    // The script is the whole chart: saved.
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(2));
    rig.chooser.answerWith(dir.filePath(QStringLiteral("whole")), 1);
    EXPECT_TRUE(rig.ke.saveChartCommand());
    EXPECT_FALSE(rig.ke.isModified());
    EXPECT_EQ(rig.ke.windowTitle(), Caption);
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
        EXPECT_EQ(rig.kep.TotalBeats, 400);
        EXPECT_FALSE(
            rig.ke.applyTempoTexts(QString::fromLatin1(text), QStringLiteral("0.7")).isEmpty());
    }
    rig.ke.sBpm().setText(QStringLiteral("1"));
    rig.ke.commitTempo();
    EXPECT_TRUE(rig.ke.sBpm().isHidden());
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
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text,
              QStringLiteral("The music file \"noise.ogg\" cannot be opened: it is not a song file "
                             "this program can read.\n\nDetails: Format not recognised."));

    const QString chart = dir.filePath(QStringLiteral("neg.zts"));
    ASSERT_TRUE(writeAll(chart, QByteArray("ZorvikTuneScribeFile\xF0\xFF\xFF\xFF", 24)));
    rig.chooser.answerWith(chart);
    rig.ke.openChartCommand();
    ASSERT_EQ(rig.messages.shown.size(), 2u);
    EXPECT_EQ(rig.messages.shown[1].text,
              QStringLiteral("The chart \"%1\" was not opened: it is damaged or not a chart "
                             "file.\n\nDetails: bad header: negative upper index -16")
                  .arg(QDir::toNativeSeparators(chart)));

    // A "script" of one line with no end is no script, and is not read whole to learn that.
    const QString line = dir.filePath(QStringLiteral("line.slk"));
    ASSERT_TRUE(writeAll(line, QByteArray(3 << 20, 'C')));
    rig.chooser.answerWith(line);
    rig.ke.openChartCommand();
    ASSERT_EQ(rig.messages.shown.size(), 3u);
    EXPECT_EQ(rig.messages.shown[2].text,
              QStringLiteral("The chart \"%1\" was not opened: it is damaged or not a chart "
                             "script.\n\nDetails: script error at line 1: a line longer than "
                             "1048576 bytes")
                  .arg(QDir::toNativeSeparators(line)));

    const QString gone = dir.filePath(QStringLiteral("gone.ogg"));
    rig.chooser.answerWith(gone);
    rig.ke.buttonClick(8);
    ASSERT_EQ(rig.messages.shown.size(), 4u);
    EXPECT_TRUE(rig.messages.shown[3].text.startsWith(
        QStringLiteral("The music file \"gone.ogg\" cannot be opened: there is no such file.")))
        << rig.messages.shown[3].text.toStdString();
}
