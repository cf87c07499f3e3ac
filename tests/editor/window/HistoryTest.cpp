// Undo and redo of every command of the window, the mark and the question of unsaved
// changes, and the autosave with its recovery, on fakes and real files.
#include "Autosave.h"
#include "ChartEdit.h"
#include "ChartHistory.h"
#include "EditingRig.h"
#include "NativeChartWriter.h"
#include "RecoverySet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace tavix;
using namespace tavix::test;
using Choice = MessageService::SaveChoice;

namespace {

const QString Caption = QStringLiteral("Zorvik Tavix Editor v1.68");

// The native file of the chart as it stands, written as a save writes it.
QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The native file of the chart as it stands, written as a save writes it.
QByteArray fileOf(const KeP& kep)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.zts"));
    return NativeChartWriter::writeFile(kep, path).ok() ? readFile(path) : QByteArray();
}

// The steps done (and not undone) so far.
int steps(EditingRig& rig)
{
    return rig.ke.history().stack().index();
}

// The command is one step; undone it gives back the file before it, redone the file
// after it, and so again.
void expectOneStep(EditingRig& rig, const std::function<void()>& command, const char* what)
{
    SCOPED_TRACE(what);
    const QByteArray before = fileOf(rig.kep);
    const int count = steps(rig);
    command();
    const QByteArray after = fileOf(rig.kep);
    ASSERT_NE(after, before);
    ASSERT_EQ(steps(rig), count + 1);
    for (int i = 0; i < 2; ++i) {
        rig.ke.undoEdit();
        ASSERT_EQ(fileOf(rig.kep), before);
        rig.ke.redoEdit();
        ASSERT_EQ(fileOf(rig.kep), after);
    }
}

constexpr uint8_t Kp7 = 0x47;
constexpr uint8_t Kp3 = 0x51;

} // namespace

TEST(History, EveryCommandUndoesAndRedoesToTheExactFile)
{
    EditingRig rig(3'000'000); // 20000 cells
    ASSERT_EQ(rig.kep.TotalBeats, 20000);
    QTemporaryDir dir;

    // A click on a key, then keys in many cells for the commands that follow.
    expectOneStep(
        rig, [&] { rig.click(EditingRig::xOfCell(5), EditingRig::yOfRow(3)); }, "toggle");
    for (int32_t c = 0; c < 20000; c += 3)
        rig.set(c, 1 + c % 6);
    expectOneStep(
        rig, [&] { rig.ke.randomKeys(); }, "random keys");

    // Auto space over the whole long chart, then cleared from a cell on.
    expectOneStep(
        rig,
        [&] {
            rig.ke.autoSpaceClicked();
            rig.click(EditingRig::xOfCell(2), EditingRig::yOfRow(7));
        },
        "auto space");
    expectOneStep(
        rig,
        [&] {
            rig.ke.autoSpaceClicked();
            rig.click(EditingRig::xOfCell(9), EditingRig::yOfRow(7), Qt::RightButton);
        },
        "markers cleared");

    // A selection deleted and pasted at the end of the chart, where part of it falls off.
    rig.drag(20, 10, 300, 420);
    ASSERT_GT(rig.ke.state().SelKeys.size(), 3u);
    rig.ke.copyKeys();
    expectOneStep(
        rig, [&] { rig.ke.deleteKeys(); }, "delete");
    // The cursor a few cells before the end: 1 s before it at the left edge, then 2 cells on.
    rig.ke.TimeSet().setValue(rig.ke.TimeSet().maximum() - 10);
    rig.click(EditingRig::xOfCell(2), EditingRig::yOfRow(0));
    expectOneStep(
        rig, [&] { rig.ke.pasteKeys(); }, "paste");
    EXPECT_EQ(rig.ke.state().SelKeys, emptySelection());

    // A tempo that grows the chart: undone, the tempo and the counter come back too.
    rig.ke.sBpm().setText(QStringLiteral("150"));
    expectOneStep(
        rig, [&] { rig.ke.commitTempo(); }, "tempo");
    EXPECT_EQ(rig.kep.TotalBeats, 30000);
    rig.ke.undoEdit();
    EXPECT_EQ(rig.kep.TotalBeats, 20000);
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(rig.ke.sBpm().text(), QStringLiteral("100"));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0000"));
    rig.ke.redoEdit();
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("150"));
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0000")); // 30000 cells
    rig.ke.undoEdit();

    // A shorter song cuts the chart; undone, the cells it dropped come back with their keys.
    expectOneStep(
        rig, [&] { ASSERT_TRUE(rig.openSong("/m/short.ogg", 60000)); }, "song");
    rig.ke.undoEdit();
    EXPECT_EQ(rig.kep.TotalBeats, 20000);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0000"));
    rig.ke.redoEdit();
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0400"));

    // A chart opened over it: undone, the chart, its name and its file come back.
    const QString other = dir.filePath(QStringLiteral("other.zts"));
    {
        KeP source;
        ChartEdit edit(source);
        edit.resizeCells(300);
        edit.set(KeP::flatIndex(7, 2), 1);
        ASSERT_TRUE(NativeChartWriter::writeFile(source, other).ok());
    }
    const QString label = rig.ke.scriptFile().text();
    expectOneStep(
        rig,
        [&] {
            rig.chooser.answerWith(other);
            rig.ke.openChartCommand();
        },
        "open");
    EXPECT_EQ(rig.ke.scriptFile().text(), QStringLiteral("other.zts"));
    rig.ke.undoEdit();
    EXPECT_EQ(rig.ke.scriptFile().text(), label);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0400"));
}

TEST(History, ARecordedRunIsOneStepAndUndoWaitsForAPause)
{
    EditingRig rig;
    rig.set(30, 2); // set before: not part of the run
    rig.ke.buttonClick(0);
    rig.step(300);
    rig.keys->press(Kp7, rig.engine.now);
    rig.step(20);
    rig.keys->release(Kp7);
    rig.step(400);
    rig.keys->press(Kp3, rig.engine.now);
    rig.step(20);
    rig.keys->release(Kp3);
    rig.step(20);
    EXPECT_EQ(rig.ke.windowTitle(), Caption + QStringLiteral(" *"));
    // While playing, undo is refused and the run is not yet a step.
    const auto during = rig.kep.KeyGrid;
    rig.ke.undoEdit();
    EXPECT_EQ(rig.kep.KeyGrid, during);
    EXPECT_EQ(steps(rig), 0);

    rig.ke.buttonClick(0); // pause: the run so far is one step, and undo works
    ASSERT_EQ(steps(rig), 1);
    rig.ke.undoEdit();
    EXPECT_EQ(rig.kep.at(30, 2), 1);
    int keys = 0;
    for (uint8_t v : rig.kep.KeyGrid)
        keys += v;
    EXPECT_EQ(keys, 1);
    EXPECT_EQ(rig.ke.windowTitle(), Caption);
    rig.ke.redoEdit();
    EXPECT_EQ(rig.kep.KeyGrid, during);

    // A command while playing ends the run so far as a step of its own, before it.
    rig.ke.buttonClick(0); // resume
    rig.step(300);
    rig.keys->press(Kp7, rig.engine.now);
    rig.step(20);
    rig.ke.randomKeys();
    EXPECT_EQ(steps(rig), 3);
    rig.ke.buttonClick(1); // stop
    EXPECT_EQ(steps(rig), 3);
}

TEST(History, NoStepForActionsThatChangeNothing)
{
    EditingRig rig;
    rig.ke.deleteKeys(); // nothing selected
    rig.ke.randomKeys(); // no keys
    rig.ke.sBpm().setText(QStringLiteral("100"));
    rig.ke.commitTempo(); // the same tempo
    EXPECT_EQ(steps(rig), 0);
    EXPECT_EQ(rig.ke.windowTitle(), Caption);
    // The first chart of the window begins the history: no step goes back before it.
    EXPECT_FALSE(rig.ke.history().canUndo());
}

TEST(History, TheMarkFollowsTheSavedState)
{
    EditingRig rig;
    QTemporaryDir dir;
    EXPECT_EQ(rig.ke.windowTitle(), Caption);
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    EXPECT_EQ(rig.ke.windowTitle(), Caption + QStringLiteral(" *"));
    rig.chooser.answerWith(dir.filePath(QStringLiteral("saved")));
    EXPECT_TRUE(rig.ke.saveChartCommand());
    EXPECT_EQ(rig.ke.windowTitle(), Caption);
    rig.ke.undoEdit();
    EXPECT_EQ(rig.ke.windowTitle(), Caption + QStringLiteral(" *"));
    rig.ke.redoEdit(); // back at the saved state
    EXPECT_EQ(rig.ke.windowTitle(), Caption);
    rig.click(EditingRig::xOfCell(4), EditingRig::yOfRow(1));
    EXPECT_TRUE(rig.ke.isModified());
    // Opening a native chart makes that chart the saved state.
    rig.chooser.answerWith(dir.filePath(QStringLiteral("saved.zts")));
    rig.ke.openChartCommand();
    EXPECT_EQ(rig.ke.windowTitle(), Caption);
    EXPECT_FALSE(rig.ke.isModified());
}

TEST(UnsavedChanges, CloseAsksAndEachAnswerDoesWhatItSays)
{
    QTemporaryDir dir;
    {
        EditingRig rig;
        EXPECT_TRUE(rig.ke.close()); // nothing changed: no question
        EXPECT_TRUE(rig.messages.questions.empty());
        EXPECT_EQ(rig.quitCalls, 1);
    }
    EditingRig rig;
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    rig.messages.saveAnswers = {Choice::Cancel};
    EXPECT_FALSE(rig.ke.close());
    EXPECT_EQ(rig.messages.questions.size(), 1u);
    // Save, but the save dialog is cancelled: the window stays.
    rig.messages.saveAnswers = {Choice::Save};
    rig.chooser.answerCancel();
    EXPECT_FALSE(rig.ke.close());
    EXPECT_EQ(rig.quitCalls, 0);
    // Save to a file: saved, then closed.
    const QString saved = dir.filePath(QStringLiteral("closing.zts"));
    rig.messages.saveAnswers = {Choice::Save};
    rig.chooser.answerWith(saved);
    EXPECT_TRUE(rig.ke.close());
    EXPECT_EQ(rig.quitCalls, 1);
    EXPECT_EQ(readFile(saved), fileOf(rig.kep));

    EditingRig discarding;
    discarding.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    discarding.messages.saveAnswers = {Choice::Discard};
    EXPECT_TRUE(discarding.ke.close());
    EXPECT_EQ(discarding.quitCalls, 1);
}

TEST(UnsavedChanges, OpeningAChartOrASongAsksFirst)
{
    QTemporaryDir dir;
    const QString chart = dir.filePath(QStringLiteral("c.zts"));
    EditingRig rig;
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    ASSERT_TRUE(NativeChartWriter::writeFile(rig.kep, chart).ok());
    rig.click(EditingRig::xOfCell(4), EditingRig::yOfRow(1));

    // Cancel: no dialog at all.
    rig.messages.saveAnswers = {Choice::Cancel, Choice::Cancel};
    rig.ke.openChartCommand();
    rig.ke.OpenMusic();
    EXPECT_TRUE(rig.chooser.requests.empty());
    EXPECT_EQ(rig.messages.questions.size(), 2u);

    // Discard: the song opens, and the chart it cuts is still the edited one.
    rig.messages.saveAnswers = {Choice::Discard};
    ASSERT_TRUE(rig.openSong("/m/other.ogg", 30000));
    EXPECT_EQ(rig.kep.at(4, 1), 1);
    EXPECT_TRUE(rig.ke.isModified());

    // Save: the save dialog first, then the open dialog.
    rig.chooser.requests.clear();
    rig.messages.saveAnswers = {Choice::Save};
    rig.chooser.answerWith(dir.filePath(QStringLiteral("kept.zts")));
    rig.chooser.answerWith(chart);
    rig.ke.openChartCommand();
    ASSERT_EQ(rig.chooser.requests.size(), 2u);
    EXPECT_TRUE(rig.chooser.requests[0].save);
    EXPECT_FALSE(rig.chooser.requests[1].save);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("kept.zts"))));
    EXPECT_EQ(rig.kep.at(4, 1), 0);
    EXPECT_FALSE(rig.ke.isModified());
}

namespace {

QStringList recoveryFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("recovery-*")}, QDir::Files, QDir::Name);
}

} // namespace

TEST(Recovery, ChangesAreKeptAndTheFilesGoWhenSaved)
{
    QTemporaryDir dir;
    EditingRig rig(60000, dir.path(), 50);
    Autosave& autosave = *rig.ke.autosave();
    EXPECT_EQ(Autosave::DefaultIntervalMs, 30000);
    EXPECT_EQ(autosave.intervalMs(), 50);
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.writes() > 0; }, 5000));
    EXPECT_EQ(recoveryFiles(dir.path()).size(), 3u); // chart, side file and lock
    const auto info = autosave.files().readInfo();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->songPath, QStringLiteral("/m/song.ogg"));
    EXPECT_EQ(info->tempoText, QStringLiteral("100"));
    EXPECT_EQ(info->offsetText, QStringLiteral("0.7"));
    EXPECT_EQ(readFile(autosave.files().chartPath()), fileOf(rig.kep));

    // Undone back to the opened chart: nothing to keep.
    rig.ke.undoEdit();
    EXPECT_FALSE(autosave.files().hasChart());
    rig.ke.redoEdit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.files().hasChart(); }, 5000));
    rig.chooser.answerWith(dir.filePath(QStringLiteral("mine.zts")));
    ASSERT_TRUE(rig.ke.saveChartCommand());
    // After the write that may still be going on, on the writer's thread.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !autosave.files().hasChart(); }, 5000));
}

TEST(Recovery, AChartLeftBehindIsOfferedAndRestoredAsModified)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.ogg"));
    ASSERT_TRUE(QFile(song).open(QIODevice::WriteOnly)); // the song it belongs to exists
    QByteArray kept;
    {
        EditingRig ended(0, dir.path(), 60000);
        ASSERT_TRUE(ended.openSong(song.toStdString(), 60000));
        ended.ke.sBpm().setText(QStringLiteral("120"));
        ended.ke.commitTempo();
        ended.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
        // A termination signal keeps the chart at once, long before the interval.
        ended.ke.endOnSignal();
        EXPECT_EQ(ended.quitCalls, 1);
        kept = fileOf(ended.kep);
    } // gone without removing its files, like an editor that was killed
    EXPECT_EQ(recoveryFiles(dir.path()).size(), 2u); // the lock went with its editor

    EditingRig later(0, dir.path(), 60000);
    later.engine.songs[song.toStdString()] = 60000;
    ASSERT_TRUE(later.ke.offerRecovery());
    ASSERT_EQ(later.messages.questions.size(), 1u);
    EXPECT_TRUE(later.messages.questions[0].contains(QDir::toNativeSeparators(song)));
    EXPECT_EQ(fileOf(later.kep), kept);
    EXPECT_EQ(later.ke.sBpmB().text(), QStringLiteral("120"));
    EXPECT_EQ(later.ke.MSeteD().text(), QStringLiteral("song.ogg"));
    EXPECT_EQ(later.ke.windowTitle(), Caption + QStringLiteral(" *"));
    // Kept again at once, under the new window's own name only.
    const QString own = later.ke.autosave()->files().chartPath();
    EXPECT_EQ(readFile(own), kept);
    EXPECT_EQ(recoveryFiles(dir.path()).size(), 3u);
    EXPECT_FALSE(later.ke.offerRecovery());
}

TEST(Recovery, DiscardedChartsGoAndRunningWindowsKeepTheirOwn)
{
    QTemporaryDir dir;
    EditingRig a(60000, dir.path(), 50);
    EditingRig b(60000, dir.path(), 50);
    a.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    b.click(EditingRig::xOfCell(5), EditingRig::yOfRow(2));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return a.ke.autosave()->writes() > 0 && b.ke.autosave()->writes() > 0; }, 5000));
    EXPECT_NE(a.ke.autosave()->files().chartPath(), b.ke.autosave()->files().chartPath());
    EXPECT_EQ(readFile(a.ke.autosave()->files().chartPath()), fileOf(a.kep));
    EXPECT_EQ(readFile(b.ke.autosave()->files().chartPath()), fileOf(b.kep));
    {
        // Charts of running windows are theirs: nothing is offered.
        EditingRig c(0, dir.path(), 50);
        EXPECT_FALSE(c.ke.offerRecovery());
        EXPECT_TRUE(c.messages.questions.empty());
    }
    b.window.reset(); // ends without closing: its chart stays behind
    EditingRig d(0, dir.path(), 50);
    d.messages.restoreAnswers = {false};
    EXPECT_FALSE(d.ke.offerRecovery());
    EXPECT_EQ(d.messages.questions.size(), 1u);
    EXPECT_EQ(recoveryFiles(dir.path()).size(), 3u); // only a's set
    EXPECT_TRUE(a.ke.autosave()->files().hasChart());
}
