// Recovery copies when things go wrong: a lock held elsewhere, a write still running when
// the copy is let go, a signal during the restore question, a half renewed pair of files,
// a song opened from another folder.
#include "Autosave.h"
#include "EditingRig.h"
#include "NativeChartWriter.h"
#include "RecoverySet.h"

#include <QDir>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tavix;
using namespace tavix::test;

namespace {

QStringList recoveryFiles(const QString& dir, const QString& pattern = "recovery-*")
{
    return QDir(dir).entryList({pattern}, QDir::Files);
}

// An editor that kept a chart with a key in cell 3 and ended on a signal.
void leaveChartBehind(const QString& dir, const std::string& song = "/m/song.ogg")
{
    EditingRig ended(0, dir, 60000);
    ended.openSong(song, 60000);
    ended.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    ended.ke.endOnSignal();
}

} // namespace

TEST(RecoveryFaults, AFailedCopyIsTriedAgainWithoutAnEditAndTheWindowSaysSo)
{
    QTemporaryDir dir;
    EditingRig rig(60000, dir.path(), 50);
    Autosave& autosave = *rig.ke.autosave();
    QLockFile other(autosave.files().lockPath()); // the set is not the editor's to write
    ASSERT_TRUE(other.tryLock(0));
    testing::internal::CaptureStderr();
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    // Tried again, and again, while the user only listens; nothing written meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.writes() >= 3; }, 5000));
    EXPECT_FALSE(autosave.files().hasChart());
    EXPECT_TRUE(autosave.lastError().contains(QStringLiteral("lock")));
    QWidget* note = rig.ke.findChild<QWidget*>(QStringLiteral("recoveryNote"));
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isHidden());

    other.unlock();
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.files().readInfo().has_value(); }, 10000));
    EXPECT_TRUE(autosave.lastError().isEmpty());
    EXPECT_TRUE(note->isHidden());
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told.find("cannot be written"), told.rfind("cannot be written")) << "told once";
}

TEST(RecoveryFaults, ADiscardLeavesNoLockAndDoesNotWaitForAWriteGoingOn)
{
    QTemporaryDir dir;
    EditingRig rig(60000, dir.path(), 50);
    Autosave& autosave = *rig.ke.autosave();
    rig.click(EditingRig::xOfCell(3), EditingRig::yOfRow(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return autosave.files().hasChart(); }, 5000));
    rig.ke.undoEdit();
    EXPECT_TRUE(QTest::qWaitFor([&] { return recoveryFiles(dir.path()).isEmpty(); }, 5000));

    // A write that takes long: the discard hands the removal to the writer and returns.
    auto entered = std::make_shared<std::atomic<bool>>(false);
    auto open = std::make_shared<std::atomic<bool>>(false);
    auto openInTime = std::make_shared<std::atomic<bool>>(false);
    autosave.setWriter([=](const RecoverySet& set, const std::vector<uint8_t>& grid,
                           const RecoveryInfo&, QString&) {
        *entered = true;
        for (int i = 0; i < 500 && !*open; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        *openInTime = open->load();
        return NativeChartWriter::writeGrid(grid, set.chartPath()).ok();
    });
    rig.ke.redoEdit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return entered->load(); }, 5000));
    rig.ke.undoEdit(); // the discard
    *open = true;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !autosave.writing() && recoveryFiles(dir.path()).isEmpty(); }, 10000));
    EXPECT_TRUE(openInTime->load()) << "the discard waited for the write";
}

TEST(RecoveryFaults, ASignalWhileTheRestoreQuestionIsOpenEndsAndKeepsTheFiles)
{
    QTemporaryDir dir;
    leaveChartBehind(dir.path());
    ASSERT_EQ(recoveryFiles(dir.path()).size(), 2u);
    for (const bool restoreClicked : {false, true}) {
        EditingRig later(0, dir.path(), 60000);
        later.messages.whileAskingToRestore = [&] { later.ke.endOnSignal(); };
        later.messages.restoreAnswers = {restoreClicked};
        EXPECT_FALSE(later.ke.offerRecovery());
        EXPECT_EQ(later.quitCalls, 1);
        EXPECT_FALSE(later.kep.hasGrid());
        EXPECT_EQ(recoveryFiles(dir.path()).size(), 2u);
    }
}

TEST(RecoveryFaults, AHalfRenewedPairIsOfferedAndSaidSo)
{
    QTemporaryDir dir;
    leaveChartBehind(dir.path());
    const QString chart = dir.filePath(recoveryFiles(dir.path(), "*.zts").value(0));
    // A newer chart whose side file was never written: the editor ended between the two.
    std::vector<uint8_t> newer(400 * 7 + 1, 0);
    newer[size_t(KeP::flatIndex(9, 2))] = 1;
    ASSERT_TRUE(NativeChartWriter::writeGrid(newer, chart).ok());
    for (const char* said : {"earlier copy", "not noted"}) {
        EditingRig later(0, dir.path(), 60000);
        ASSERT_TRUE(later.ke.offerRecovery());
        EXPECT_TRUE(later.messages.questions[0].contains(QLatin1String(said)))
            << later.messages.questions[0].toStdString();
        EXPECT_EQ(later.at(9, 2), 1);
        later.window.reset(); // ended without closing: its own copy stays, with no side file
        for (const QString& info : recoveryFiles(dir.path(), "*.json"))
            QFile::remove(dir.filePath(info));
    }
}

TEST(RecoveryFaults, TheSongIsFoundFromAnyFolderAndOneThatIsGoneIsSaidSo)
{
    QTemporaryDir dir, work;
    ASSERT_TRUE(QDir(work.path()).mkpath(QStringLiteral("songs")));
    const QString song = work.filePath(QStringLiteral("songs/demo.ogg"));
    ASSERT_TRUE(QFile(song).open(QIODevice::WriteOnly));
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.path()));
    leaveChartBehind(dir.path(), "songs/demo.ogg"); // as typed on the command line
    ASSERT_TRUE(QDir::setCurrent(started));
    {
        EditingRig later(0, dir.path(), 60000);
        later.engine.songs[song.toStdString()] = 60000;
        ASSERT_TRUE(later.ke.offerRecovery());
        EXPECT_EQ(later.ke.MSeteD().text(), QStringLiteral("demo.ogg"));
        EXPECT_EQ(later.at(3, 1), 1);
        later.window.reset();
    }
    ASSERT_TRUE(QFile::remove(song));
    EditingRig gone(0, dir.path(), 60000);
    ASSERT_TRUE(gone.ke.offerRecovery());
    EXPECT_TRUE(gone.messages.questions[0].contains(QStringLiteral("not found")));
    EXPECT_EQ(gone.ke.state().MusicStream, 0);
}
