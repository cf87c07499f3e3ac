// The save and open commands through the fake chooser and message box, on real files.
#include "ChartEdit.h"
#include "ChartFile.h"
#include "EditingRig.h"
#include "GData.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

enum Button { Save = 2, OpenChart = 9 };

const QByteArray Magic("ZorvikTuneScribeFile");

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

// A native chart file of `cells` cells with the given elements set.
QByteArray nativeChart(int32_t cells, const std::vector<std::pair<int32_t, int>>& keys)
{
    const int32_t upper = 7 * cells;
    QByteArray bytes = Magic;
    for (int i = 0; i < 4; ++i)
        bytes.append(char((upper >> (8 * i)) & 0xFF));
    QByteArray grid(upper + 1, '\0');
    for (const auto& [cell, row] : keys)
        grid[qsizetype(KeP::flatIndex(cell, row))] = 1;
    return bytes + grid;
}

QString scriptCommandLine()
{
    return QStringLiteral("tavix-editor ") + scriptModeSwitch();
}

struct Snapshot
{
    std::vector<uint8_t> grid;
    int32_t cells;
    float rate;
    int32_t songLenMs;
    int timeMax;
    int timeValue;
    QString counter;
    QString label;
    QString position;
    int32_t cursor;
    SelectionList selection;

    static Snapshot of(EditingRig& rig)
    {
        return {rig.kep.KeyGrid,          rig.kep.TotalBeats,         rig.kep.BeatRate,
                rig.ke.state().SongLenMs, rig.ke.TimeSet().maximum(), rig.ke.TimeSet().value(),
                rig.ke.cBeat().text(),    rig.ke.scriptFile().text(), rig.ke.cPos().text(),
                rig.ke.state().CursorMs,  rig.ke.state().SelKeys};
    }
    void expectSame(EditingRig& rig) const
    {
        const Snapshot now = of(rig);
        EXPECT_EQ(now.grid, grid);
        EXPECT_EQ(now.cells, cells);
        EXPECT_EQ(now.rate, rate);
        EXPECT_EQ(now.songLenMs, songLenMs);
        EXPECT_EQ(now.timeMax, timeMax);
        EXPECT_EQ(now.timeValue, timeValue);
        EXPECT_EQ(now.counter, counter);
        EXPECT_EQ(now.label, label);
        EXPECT_EQ(now.position, position);
        EXPECT_EQ(now.cursor, cursor);
        EXPECT_EQ(now.selection, selection);
    }
};

// Makes a folder refuse new files, also to a superuser (an immutable folder), and lets
// it go again at the end.
class LockedFolder
{
public:
    explicit LockedFolder(const QString& path) : m_path(path)
    {
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0)
            m_immutable = true;
        else
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        QFile probe(path + QStringLiteral("/probe"));
        m_locked = !probe.open(QIODevice::WriteOnly);
        if (!m_locked)
            probe.remove();
    }
    ~LockedFolder()
    {
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool locked() const { return m_locked; }

private:
    QString m_path;
    bool m_immutable = false;
    bool m_locked = false;
};

} // namespace

// --- Save

TEST(SaveCommand, DialogSettingsWithoutScriptMode)
{
    EditingRig rig;
    rig.chooser.answerCancel();
    rig.ke.buttonClick(Save);
    ASSERT_EQ(rig.chooser.requests.size(), 1u);
    const FileChooserRequest& r = rig.chooser.requests[0];
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.owner, &rig.ke);
    EXPECT_EQ(r.title, QStringLiteral("Save FIle"));
    EXPECT_EQ(r.initDir, rig.programDir.path());
    EXPECT_EQ(r.descriptions, QStringList{QStringLiteral("Zorvik Tune Scribe File (*.ZTS)")});
    EXPECT_EQ(r.patterns, QStringList{QStringLiteral("*.ZTS")});
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(r.confirmOverwrite);
    EXPECT_TRUE(r.defaultExt.isEmpty());
}

TEST(SaveCommand, DialogSettingsInScriptMode)
{
    EditingRig rig(60000, scriptCommandLine());
    ASSERT_TRUE(rig.kep.ScriptMode);
    rig.chooser.answerCancel();
    rig.ke.buttonClick(Save);
    ASSERT_EQ(rig.chooser.requests.size(), 1u);
    EXPECT_EQ(rig.chooser.requests[0].descriptions,
              (QStringList{QStringLiteral("Script documents (*.SLK)"),
                           QStringLiteral("Zorvik Tune Scribe File (*.ZTS)")}));
    EXPECT_EQ(rig.chooser.requests[0].patterns,
              (QStringList{QStringLiteral("*.SLK"), QStringLiteral("*.ZTS")}));
}

TEST(SaveCommand, NativeFileWhateverTheNameWithoutScriptMode)
{
    QTemporaryDir dir;
    EditingRig rig;
    rig.set(0, 1);
    rig.set(2, 6);
    rig.set(2, 7);
    rig.chooser.answerWith(dir.filePath(QStringLiteral("x.slk")));
    rig.ke.buttonClick(Save);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.slk"))));
    const QByteArray saved = readAll(dir.filePath(QStringLiteral("x.slk.zts")));
    EXPECT_EQ(saved, nativeChart(400, {{0, 1}, {2, 6}, {2, 7}}));
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_FALSE(rig.messages.shown[0].warning);
    EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("Save File"));
    EXPECT_EQ(rig.messages.shown[0].text, QStringLiteral("File Save Complete"));
    EXPECT_TRUE(rig.ke.scriptFile().text().isEmpty()); // saving leaves the label alone
}

TEST(SaveCommand, ScriptModeFirstFilterScriptSecondNative)
{
    QTemporaryDir dir;
    EditingRig rig(60000, scriptCommandLine());
    rig.set(5, 3);
    rig.chooser.answerWith(dir.filePath(QStringLiteral("x")), 1);
    rig.ke.buttonClick(Save);
    const QByteArray script = readAll(dir.filePath(QStringLiteral("x.slk")));
    EXPECT_TRUE(script.startsWith("ID;"));
    rig.chooser.answerWith(dir.filePath(QStringLiteral("x")), 2);
    rig.ke.buttonClick(Save);
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("x.zts"))), nativeChart(400, {{5, 3}}));
    EXPECT_EQ(rig.messages.shown.size(), 2u);

    // The script reads back into a fresh window as the same keys.
    EditingRig other(60000);
    other.chooser.answerWith(dir.filePath(QStringLiteral("x.slk")));
    other.ke.buttonClick(OpenChart);
    EXPECT_EQ(other.at(5, 3), 1);
    int keys = 0;
    for (uint8_t v : other.kep.KeyGrid)
        keys += v;
    EXPECT_EQ(keys, 1);
    EXPECT_EQ(other.ke.scriptFile().text(), QStringLiteral("x.slk"));
}

TEST(SaveCommand, CancelWritesNothingAndSaysNothing)
{
    QTemporaryDir dir;
    EditingRig rig;
    rig.chooser.answerCancel();
    rig.ke.buttonClick(Save);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(SaveCommand, RefusedWhilePlayingAllowedWhilePaused)
{
    QTemporaryDir dir;
    EditingRig rig;
    rig.ke.buttonClick(0);
    rig.ke.buttonClick(Save);
    EXPECT_TRUE(rig.chooser.requests.empty());
    rig.ke.buttonClick(0); // pause
    rig.chooser.answerWith(dir.filePath(QStringLiteral("p.zts")));
    rig.ke.buttonClick(Save);
    EXPECT_EQ(rig.chooser.requests.size(), 1u);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("p.zts"))));
}

TEST(SaveCommand, DisarmsAutoSpaceEvenWhenRefused)
{
    EditingRig rig;
    rig.ke.autoSpaceClicked();
    ASSERT_TRUE(rig.ke.autoSpaceArmed());
    rig.chooser.answerCancel();
    rig.ke.buttonClick(Save);
    EXPECT_FALSE(rig.ke.autoSpaceArmed());

    // Refused while playing, but the pointer goes back all the same.
    rig.ke.buttonClick(0);
    rig.ke.setCursor(Qt::SizeHorCursor);
    ASSERT_TRUE(rig.ke.autoSpaceArmed());
    rig.ke.buttonClick(Save);
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
    EXPECT_EQ(rig.chooser.requests.size(), 1u);
}

TEST(SaveCommand, NothingToSaveBeforeAnyGrid)
{
    EditingRig rig(0);
    rig.ke.buttonClick(Save);
    EXPECT_TRUE(rig.chooser.requests.empty());
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].warning);
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("nothing to save yet")));
}

TEST(SaveCommand, InScriptModeTheScriptNeedsNoGrid)
{
    QTemporaryDir dir;
    EditingRig rig(0, scriptCommandLine());
    ASSERT_FALSE(rig.kep.hasGrid());
    rig.chooser.answerWith(dir.filePath(QStringLiteral("empty")), 1);
    rig.ke.buttonClick(Save);
    ASSERT_EQ(rig.chooser.requests.size(), 1u);
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("empty.slk"))),
              readAll(QStringLiteral(TAVIX_SOURCE_DIR "/tests/chart/golden/empty.slk")));
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, QStringLiteral("File Save Complete"));
    // The native file of the second filter still needs one.
    rig.chooser.answerWith(dir.filePath(QStringLiteral("empty")), 2);
    rig.ke.buttonClick(Save);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("empty.zts"))));
    ASSERT_EQ(rig.messages.shown.size(), 2u);
    EXPECT_TRUE(rig.messages.shown[1].warning);
    EXPECT_TRUE(rig.messages.shown[1].text.contains(QStringLiteral("nothing to save yet")));
}

TEST(SaveCommand, InAFolderThatRefusesNewFilesAWritableFileIsWrittenInPlace)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString chart = folder + QStringLiteral("/old.zts");
    const QString script = folder + QStringLiteral("/old.slk");
    ASSERT_TRUE(writeAll(chart, nativeChart(3, {{1, 1}})));
    ASSERT_TRUE(writeAll(script, "old script"));

    EditingRig rig(60000, scriptCommandLine());
    rig.set(7, 2);
    {
        LockedFolder lock(folder);
        if (!lock.locked())
            GTEST_SKIP() << "cannot make a folder refuse new files here";
        rig.chooser.answerWith(chart, 2);
        rig.ke.buttonClick(Save);
        rig.chooser.answerWith(script, 1);
        rig.ke.buttonClick(Save);
        // A new file cannot be made there at all.
        rig.chooser.answerWith(folder + QStringLiteral("/new.zts"), 2);
        rig.ke.buttonClick(Save);
    }
    EXPECT_EQ(readAll(chart), nativeChart(400, {{7, 2}}));
    EXPECT_TRUE(readAll(script).startsWith("ID;"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              (QStringList{QStringLiteral("old.slk"), QStringLiteral("old.zts")}));
    ASSERT_EQ(rig.messages.shown.size(), 3u);
    EXPECT_EQ(rig.messages.shown[0].text, QStringLiteral("File Save Complete"));
    EXPECT_EQ(rig.messages.shown[1].text, QStringLiteral("File Save Complete"));
    const auto& shown = rig.messages.shown[2];
    EXPECT_TRUE(shown.warning);
    EXPECT_EQ(shown.title, QStringLiteral("Save File"));
    EXPECT_TRUE(shown.text.contains(QStringLiteral("new.zts"))) << shown.text.toStdString();
    EXPECT_TRUE(shown.text.contains(QStringLiteral("cannot be written")))
        << shown.text.toStdString();
}

TEST(SaveCommand, MissingFolderIsAFailureWithItsReason)
{
    QTemporaryDir dir;
    EditingRig rig;
    const QString target = dir.filePath(QStringLiteral("no/such/folder/a.zts"));
    rig.chooser.answerWith(target);
    rig.ke.buttonClick(Save);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].warning);
    EXPECT_TRUE(rig.messages.shown[0].text.contains(target));
    EXPECT_FALSE(QFile::exists(target));
}

// --- Open

TEST(OpenCommand, DialogSettings)
{
    EditingRig rig(0);
    rig.chooser.answerCancel();
    rig.ke.buttonClick(OpenChart);
    ASSERT_EQ(rig.chooser.requests.size(), 1u);
    const FileChooserRequest& r = rig.chooser.requests[0];
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.owner, &rig.ke);
    EXPECT_EQ(r.title, QStringLiteral("Open FIle"));
    EXPECT_EQ(r.initDir, rig.programDir.path());
    EXPECT_EQ(r.descriptions, QStringList{QStringLiteral("All Support documents (*.SLK;*.ZTS)")});
    EXPECT_EQ(r.patterns, QStringList{QStringLiteral("*.SLK;*.ZTS")});
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(r.fileMustExist);
}

TEST(OpenCommand, WithoutMusicTheTempoSizesTheWindow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.zts"));
    ASSERT_TRUE(writeAll(path, nativeChart(1200, {{3, 1}, {1199, 7}})));
    EditingRig rig(0);
    rig.chooser.answerWith(path);
    rig.ke.buttonClick(OpenChart);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.kep.TotalBeats, 1200);
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    EXPECT_EQ(rig.ke.state().SongLenMs, 180000);
    EXPECT_EQ(rig.ke.TimeSet().maximum(), 1800);
    EXPECT_EQ(rig.ke.TimeSet().value(), 0);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/1200"));
    EXPECT_EQ(rig.ke.scriptFile().text(), QStringLiteral("song.zts"));
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:00/3:00")); // anew, at the chart's length
    EXPECT_TRUE(rig.ke.renderer().Inited());
    EXPECT_TRUE(rig.ke.state().LoopRunning);
    EXPECT_EQ(rig.ke.state().MusicStream, 0);

    // Drawn and editable without any music.
    EXPECT_TRUE(rig.ke.runPendingFrame());
    EXPECT_FALSE(rig.ke.Picture1().shownFrame().isNull());
    rig.click(EditingRig::xOfCell(3), 30);
    EXPECT_EQ(rig.at(3, 1), 0);
    rig.click(EditingRig::xOfCell(4), 300);
    EXPECT_EQ(rig.at(4, 5), 1);
    rig.click(48, 200);
    EXPECT_EQ(rig.ke.state().CursorMs, 150);
}

TEST(OpenCommand, ALongerSecondChartWithoutMusicIsSizedAgain)
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.zts"));
    const QString b = dir.filePath(QStringLiteral("b.zts"));
    ASSERT_TRUE(writeAll(a, nativeChart(400, {})));
    ASSERT_TRUE(writeAll(b, nativeChart(1200, {{1100, 1}})));
    EditingRig rig(0);
    rig.chooser.answerWith(a);
    rig.ke.buttonClick(OpenChart);
    EXPECT_EQ(rig.ke.state().SongLenMs, 60000);
    rig.ke.TimeSet().setValue(300);
    rig.chooser.answerWith(b);
    rig.ke.buttonClick(OpenChart);
    EXPECT_EQ(rig.ke.state().SongLenMs, 180000);
    EXPECT_EQ(rig.ke.TimeSet().maximum(), 1800);
    EXPECT_EQ(rig.ke.TimeSet().value(), 0);
    EXPECT_EQ(rig.ke.scriptFile().text(), QStringLiteral("b.zts"));
}

TEST(OpenCommand, WithMusicKeepsTheSongsLengthAndBar)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Other.ZTS"));
    ASSERT_TRUE(writeAll(path, nativeChart(50, {{49, 2}})));
    EditingRig rig;
    rig.ke.TimeSet().setValue(12);
    rig.click(48, 200);
    rig.chooser.answerWith(path);
    rig.ke.buttonClick(OpenChart);
    EXPECT_EQ(rig.ke.state().SongLenMs, 60000);
    EXPECT_EQ(rig.ke.TimeSet().maximum(), 600);
    EXPECT_EQ(rig.ke.TimeSet().value(), 12);
    EXPECT_EQ(rig.kep.TotalBeats, 50);
    EXPECT_EQ(rig.at(49, 2), 1);
    // Both counters for the cursor, which stays.
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0009/0050"));
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:01/1:00"));
    EXPECT_EQ(rig.ke.scriptFile().text(), QStringLiteral("Other.ZTS"));
    EXPECT_EQ(rig.ke.state().CursorMs, 1350);
}

TEST(OpenCommand, LeavesTheSelectionAlone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.zts"));
    ASSERT_TRUE(writeAll(path, nativeChart(400, {})));
    EditingRig rig;
    rig.ke.gestures().select(selectionOf({8, 9}));
    rig.chooser.answerWith(path);
    rig.ke.buttonClick(OpenChart);
    EXPECT_EQ(rig.ke.state().SelKeys, selectionOf({8, 9}));
}

TEST(OpenCommand, AScriptMergesIntoTheChart)
{
    QTemporaryDir dir;
    KeP source;
    source.ScriptMode = true;
    source.setTempo(100);
    ChartEdit(source).resizeCells(500);
    ChartEdit(source).set(KeP::flatIndex(450, 4), 1);
    ChartEdit(source).set(KeP::flatIndex(450, 7), 1);
    {
        EditingRig templates(0); // the window loads the script templates
        source.HeaderTemplate = templates.kep.HeaderTemplate;
        source.TitleTemplate = templates.kep.TitleTemplate;
    }
    const QString path = dir.filePath(QStringLiteral("song.slk"));
    ASSERT_TRUE(SaveChart(source, path, 1).ok());

    EditingRig rig;
    rig.set(2, 2);
    rig.chooser.answerWith(path);
    rig.ke.buttonClick(OpenChart);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.at(2, 2), 1);
    EXPECT_EQ(rig.at(450, 4), 1);
    EXPECT_EQ(rig.at(450, 7), 1);
    EXPECT_EQ(rig.kep.TotalBeats, 451); // grown to hold the last cell
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0451"));
    EXPECT_EQ(rig.ke.scriptFile().text(), QStringLiteral("song.slk"));
}

TEST(OpenCommand, TenThousandCellsShowTheLastFourDigits)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.zts"));
    ASSERT_TRUE(writeAll(path, nativeChart(10000, {})));
    EditingRig rig(0);
    rig.chooser.answerWith(path);
    rig.ke.buttonClick(OpenChart);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0000"));
    EXPECT_EQ(rig.ke.state().SongLenMs, 1500000);
}

TEST(OpenCommand, CancelChangesNothing)
{
    EditingRig rig;
    rig.set(4, 4);
    const Snapshot before = Snapshot::of(rig);
    rig.chooser.answerCancel();
    rig.ke.buttonClick(OpenChart);
    before.expectSame(rig);
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(OpenCommand, RefusedWhilePlaying)
{
    EditingRig rig;
    rig.ke.buttonClick(0);
    rig.ke.openChartCommand();
    EXPECT_TRUE(rig.chooser.requests.empty());
}

namespace {

// Opens `path` in a window that already shows a chart it opened, expects a warning that
// names the file and contains `reason`, and nothing else changed.
void expectFailedOpen(const QString& path, const QString& reason, bool withMusic)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.zts"));
    ASSERT_TRUE(writeAll(first, nativeChart(40, {{6, 6}})));
    EditingRig rig(withMusic ? 60000 : 0);
    rig.chooser.answerWith(first);
    rig.ke.buttonClick(OpenChart);
    ASSERT_TRUE(rig.messages.shown.empty());
    rig.set(7, 1);
    const Snapshot before = Snapshot::of(rig);

    rig.chooser.answerWith(path);
    rig.ke.buttonClick(OpenChart);
    before.expectSame(rig);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    const auto& shown = rig.messages.shown[0];
    EXPECT_TRUE(shown.warning);
    EXPECT_TRUE(shown.text.contains(QDir::toNativeSeparators(path))) << shown.text.toStdString();
    EXPECT_TRUE(shown.text.contains(reason)) << shown.text.toStdString();
}

} // namespace

TEST(OpenCommandFailure, WrongMagic)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.zts"));
    QByteArray bytes = nativeChart(10, {{1, 1}});
    bytes.replace(0, 6, "zorvik");
    ASSERT_TRUE(writeAll(path, bytes));
    expectFailedOpen(path, QStringLiteral("not a chart file"), false);
    expectFailedOpen(path, QStringLiteral("not a chart file"), true);
}

TEST(OpenCommandFailure, MissingFile)
{
    QTemporaryDir dir;
    expectFailedOpen(dir.filePath(QStringLiteral("gone.zts")), QStringLiteral("cannot be opened"),
                     false);
    expectFailedOpen(dir.filePath(QStringLiteral("gone.slk")), QStringLiteral("cannot be opened"),
                     true);
}

TEST(OpenCommandFailure, BadHeader)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("neg.zts"));
    ASSERT_TRUE(writeAll(path, Magic + QByteArray("\xF9\xFF\xFF\xFF", 4)));
    expectFailedOpen(path, QStringLiteral("bad header"), false);
}

TEST(OpenCommandFailure, ScriptErrorWithItsLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.slk"));
    ASSERT_TRUE(writeAll(path, "ID;PWXL;N;E\r\nC;Y1;X1;K1\r\nC;Y2;X1;Kx\r\nE\r\n"));
    expectFailedOpen(path, QStringLiteral("line 3"), false);
}

TEST(OpenCommandFailure, TempoNotANumberWithoutMusic)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.zts"));
    ASSERT_TRUE(writeAll(path, nativeChart(1200, {{3, 1}})));
    for (const char* tempo : {"abc", "0", "-100", "inf", "nan", "1e43"}) {
        SCOPED_TRACE(tempo);
        EditingRig rig(0);
        rig.ke.sBpm().setText(QString::fromLatin1(tempo));
        const Snapshot before = Snapshot::of(rig);
        rig.chooser.answerWith(path);
        rig.ke.buttonClick(OpenChart);
        before.expectSame(rig);
        EXPECT_FALSE(rig.kep.hasGrid());
        EXPECT_FALSE(rig.ke.state().LoopRunning);
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("song.zts")));
        EXPECT_TRUE(rig.messages.shown[0].text.contains(QString::fromLatin1(tempo)));
    }
}

TEST(OpenCommandFailure, TempoIsNotNeededWithMusic)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.zts"));
    ASSERT_TRUE(writeAll(path, nativeChart(30, {{3, 1}})));
    EditingRig rig;
    rig.ke.sBpm().setText(QStringLiteral("abc"));
    rig.chooser.answerWith(path);
    rig.ke.buttonClick(OpenChart);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.kep.TotalBeats, 30);
}

TEST(ChartRoundTrip, SaveThenOpenInANewWindowGivesTheSameKeys)
{
    QTemporaryDir dir;
    std::vector<uint8_t> saved;
    {
        EditingRig rig;
        rig.click(EditingRig::xOfCell(1), 30);
        rig.click(EditingRig::xOfCell(2), 237);
        rig.ke.autoSpaceClicked();
        rig.click(EditingRig::xOfCell(0), 414);
        rig.ke.buttonClick(3);
        rig.chooser.answerWith(dir.filePath(QStringLiteral("round")));
        rig.ke.buttonClick(Save);
        saved = rig.kep.KeyGrid;
    }
    EditingRig rig(0);
    rig.chooser.answerWith(dir.filePath(QStringLiteral("round.zts")));
    rig.ke.buttonClick(OpenChart);
    EXPECT_EQ(rig.kep.KeyGrid, saved);
    EXPECT_EQ(rig.kep.TotalBeats, 400);
}

// --- Where the dialogs start

TEST(DialogFolder, TheProgramsFolderWhileWritableElseTheLastFileUsedElseHome)
{
    QTemporaryDir charts, saves;
    const QString chart = charts.filePath(QStringLiteral("a.zts"));
    ASSERT_TRUE(writeAll(chart, nativeChart(400, {})));
    EditorRig rig;
    KE& ke = rig.make();
    const auto startedIn = [&](int button) {
        rig.chooser.requests.clear();
        rig.chooser.answerCancel();
        ke.buttonClick(button);
        rig.chooser.answers.clear();
        return rig.chooser.requests.size() == 1 ? rig.chooser.requests[0].initDir : QString();
    };

    // A build tree: the program's folder takes files.
    EXPECT_EQ(startedIn(OpenChart), rig.programDir.path());

    // Installed, the program's folder refuses files: home until a file is used.
    LockedFolder lock(rig.programDir.path());
    if (!lock.locked())
        GTEST_SKIP() << "cannot make a folder refuse new files here";
    EXPECT_EQ(startedIn(OpenChart), QDir::homePath());
    EXPECT_EQ(startedIn(8), QDir::homePath());

    rig.chooser.answerWith(chart);
    ke.buttonClick(OpenChart);
    EXPECT_EQ(startedIn(Save), charts.path());
    ASSERT_TRUE(rig.openSong("/m/song.ogg", 60000));
    EXPECT_EQ(startedIn(OpenChart), QStringLiteral("/m"));
    rig.chooser.answerWith(saves.filePath(QStringLiteral("b")));
    ke.buttonClick(Save);
    ASSERT_TRUE(QFile::exists(saves.filePath(QStringLiteral("b.zts"))));
    EXPECT_EQ(startedIn(8), saves.path());

    // A file that could not be opened is not a folder used.
    rig.chooser.answerWith(charts.filePath(QStringLiteral("gone.zts")));
    ke.buttonClick(OpenChart);
    EXPECT_EQ(startedIn(OpenChart), saves.path());
}
