// Recovery copies when things go wrong: a disk that refuses them, a lock held elsewhere, a
// write still running when the copy is let go, a signal while the restore question is
// open, a pair of files that do not match, a song opened from another folder.
#include "Autosave.h"
#include "EditingRig.h"
#include "NativeChartWriter.h"
#include "RecoverySet.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace tavix;
using namespace tavix::test;

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray fileOf(const KeP& kep)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.zts"));
    return NativeChartWriter::writeFile(kep, path).ok() ? readFile(path) : QByteArray();
}

QStringList recoveryFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("recovery-*")}, QDir::Files, QDir::Name);
}

QWidget* recoveryNote(KE& ke)
{
    return ke.findChild<QWidget*>(QStringLiteral("recoveryNote"));
}

// An editor that kept a chart with a key in cell 3 and ended on a signal.
void leaveChartBehind(const QString& dir, const QString& song = QString())
{
    EditingRig ended(song.isEmpty() ? 60000 : 0, dir, 60000);
    if (!song.isEmpty()) {
        ASSERT_TRUE(ended.openSong(song.toStdString(), 60000));
    }
    ended.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    ended.ke.endOnSignal();
}

} // namespace

TEST(RecoveryFaults, AFailedCopyIsTriedAgainWithoutAnEditAndTheWindowSaysSo)
{
    QTemporaryDir base;
    // A file where the folder should be: nothing can be written there.
    const QString dir = base.filePath(QStringLiteral("recovery"));
    ASSERT_TRUE(QFile(dir).open(QIODevice::WriteOnly));
    testing::internal::CaptureStderr();
    EditingRig rig(60000, dir, 50);
    Autosave& autosave = *rig.ke.autosave();
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.writes() > 0; }, 5000));
    EXPECT_FALSE(autosave.lastError().isEmpty());
    QWidget* note = recoveryNote(rig.ke);
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isHidden());
    // Tried again, and again, while the user only listens.
    EXPECT_TRUE(QTest::qWaitFor([&] { return autosave.writes() >= 3; }, 5000));
    EXPECT_TRUE(autosave.pending());

    ASSERT_TRUE(QFile::remove(dir));
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.files().hasChart(); }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(readFile(autosave.files().chartPath()), fileOf(rig.kep));
    EXPECT_TRUE(autosave.lastError().isEmpty());
    EXPECT_TRUE(note->isHidden());
    // The failure was told once on stderr, not at every try.
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told.find("cannot be written"), told.rfind("cannot be written")) << told;
}

TEST(RecoveryFaults, ASetWhoseLockIsHeldElsewhereIsNotWritten)
{
    QTemporaryDir dir;
    EditingRig rig(60000, dir.path(), 50);
    Autosave& autosave = *rig.ke.autosave();
    QLockFile other(autosave.files().lockPath());
    ASSERT_TRUE(other.tryLock(0));
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.writes() > 0; }, 5000));
    EXPECT_FALSE(autosave.files().hasChart());
    EXPECT_FALSE(autosave.lastError().isEmpty());
    other.unlock();
    EXPECT_TRUE(QTest::qWaitFor([&] { return autosave.files().hasChart(); }, 10000));
}

TEST(RecoveryFaults, ADiscardLeavesNoLockAndDoesNotWaitForAWriteGoingOn)
{
    QTemporaryDir dir;
    EditingRig rig(60000, dir.path(), 50);
    Autosave& autosave = *rig.ke.autosave();
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.files().hasChart(); }, 5000));
    rig.ke.undoEdit();
    EXPECT_TRUE(recoveryFiles(dir.path()).isEmpty());

    // A write that takes long: the discard hands the removal to the writer and returns.
    struct Gate
    {
        std::mutex m;
        std::condition_variable cv;
        bool entered = false, open = false, sawOpen = false;
    };
    auto gate = std::make_shared<Gate>();
    autosave.setWriter([gate](const RecoverySet& set, const std::vector<uint8_t>& grid,
                              const RecoveryInfo&, QString& error) {
        std::unique_lock lock(gate->m);
        gate->entered = true;
        gate->cv.notify_all();
        gate->sawOpen =
            gate->cv.wait_for(lock, std::chrono::seconds(5), [&] { return gate->open; });
        const ChartResult r = NativeChartWriter::writeGrid(grid, set.chartPath());
        error = r.reason;
        return r.ok();
    });
    rig.ke.redoEdit();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::lock_guard lock(gate->m);
            return gate->entered;
        },
        5000));
    rig.ke.undoEdit(); // the discard
    {
        std::lock_guard lock(gate->m);
        gate->open = true;
    }
    gate->cv.notify_all();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !autosave.writing() && recoveryFiles(dir.path()).isEmpty(); }, 10000));
    EXPECT_TRUE(gate->sawOpen) << "the discard waited for the write";
}

TEST(RecoveryFaults, ASignalWhileTheRestoreQuestionIsOpenEndsAndKeepsTheFiles)
{
    QTemporaryDir dir;
    leaveChartBehind(dir.path());
    ASSERT_EQ(recoveryFiles(dir.path()).size(), 2u);
    for (const bool clicked : {false, true}) {
        SCOPED_TRACE(clicked ? "Restore clicked as it ended" : "question closed by the end");
        EditingRig later(0, dir.path(), 60000);
        later.messages.whileAskingToRestore = [&] { later.ke.endOnSignal(); };
        later.messages.restoreAnswers = {clicked};
        EXPECT_FALSE(later.ke.offerRecovery());
        EXPECT_EQ(later.quitCalls, 1);
        EXPECT_FALSE(later.kep.hasGrid());
        EXPECT_EQ(recoveryFiles(dir.path()).size(), 2u);
    }
}

TEST(RecoveryFaults, APairThatDoesNotMatchIsOfferedAndSaidSo)
{
    QTemporaryDir dir;
    leaveChartBehind(dir.path());
    const QStringList charts =
        QDir(dir.path()).entryList({QStringLiteral("recovery-*.zts")}, QDir::Files);
    ASSERT_EQ(charts.size(), 1u);
    const QString chart = dir.filePath(charts[0]);
    // A newer chart whose side file was never written: the editor ended between the two.
    std::vector<uint8_t> newer(size_t(readFile(chart).size() - 24), 0);
    newer[size_t(KeP::flatIndex(9, 2))] = 1;
    ASSERT_TRUE(NativeChartWriter::writeGrid(newer, chart).ok());
    {
        EditingRig later(0, dir.path(), 60000);
        ASSERT_TRUE(later.ke.offerRecovery());
        ASSERT_EQ(later.messages.questions.size(), 1u);
        EXPECT_TRUE(later.messages.questions[0].contains(QStringLiteral("earlier copy")))
            << later.messages.questions[0].toStdString();
        EXPECT_EQ(later.at(9, 2), 1);
        EXPECT_EQ(later.at(3, 1), 0);
        later.window.reset(); // ended without closing: its own copy stays
    }
    // Only the chart left, no side file at all: still offered.
    for (const QString& info : QDir(dir.path()).entryList({QStringLiteral("*.json")}))
        QFile::remove(dir.filePath(info));
    EditingRig last(0, dir.path(), 60000);
    ASSERT_TRUE(last.ke.offerRecovery());
    EXPECT_TRUE(last.messages.questions[0].contains(QStringLiteral("not noted")))
        << last.messages.questions[0].toStdString();
    EXPECT_EQ(last.at(9, 2), 1);
}

TEST(RecoveryFaults, TheSongIsFoundFromAnyFolderAndOneThatIsGoneIsSaidSo)
{
    QTemporaryDir dir;
    QTemporaryDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath(QStringLiteral("songs")));
    const QString song = work.filePath(QStringLiteral("songs/demo.ogg"));
    ASSERT_TRUE(QFile(song).open(QIODevice::WriteOnly));
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.path()));
    leaveChartBehind(dir.path(), QStringLiteral("songs/demo.ogg"));
    ASSERT_TRUE(QDir::setCurrent(started)); // the next editor starts elsewhere
    {
        EditingRig later(0, dir.path(), 60000);
        later.engine.songs[song.toStdString()] = 60000;
        ASSERT_TRUE(later.ke.offerRecovery());
        EXPECT_NE(later.ke.state().MusicStream, 0);
        EXPECT_EQ(later.ke.MSeteD().text(), QStringLiteral("demo.ogg"));
        EXPECT_EQ(later.at(3, 1), 1);
        later.window.reset();
    }
    ASSERT_TRUE(QFile::remove(song));
    EditingRig gone(0, dir.path(), 60000);
    ASSERT_TRUE(gone.ke.offerRecovery());
    EXPECT_TRUE(gone.messages.questions[0].contains(QStringLiteral("not found")))
        << gone.messages.questions[0].toStdString();
    EXPECT_EQ(gone.ke.state().MusicStream, 0);
}
