#pragma once

#include "ClipboardService.h"
#include "FakeKeys.h"
#include "FakeSoundEngine.h"
#include "FileChooser.h"
#include "KE.h"
#include "KeP.h"
#include "KeyInput.h"
#include "MessageService.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavix::test {

class FakeFileChooser : public FileChooser
{
public:
    std::vector<FileChooserRequest> requests;
    std::deque<FileChooserAnswer> answers;

    void answerWith(const QString& path, int filterIndex = 1)
    {
        FileChooserAnswer a;
        a.accepted = true;
        a.path = path;
        a.filterIndex = filterIndex;
        answers.push_back(a);
    }
    void answerCancel() { answers.push_back(FileChooserAnswer{}); }

    FileChooserAnswer choose(const FileChooserRequest& request) override
    {
        requests.push_back(request);
        if (answers.empty())
            return {};
        FileChooserAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

class FakeClipboard : public ClipboardService
{
public:
    QString content;
    QString text() const override { return content; }
    void setText(const QString& text) override { content = text; }
};

class FakeMessages : public MessageService
{
public:
    struct Shown
    {
        bool warning = false;
        QString title;
        QString text;
    };
    std::vector<Shown> shown;
    void information(QWidget*, const QString& title, const QString& text) override
    {
        shown.push_back({false, title, text});
    }
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        shown.push_back({true, title, text});
    }

    // The questions asked, answered in turn from the lists: unsaved changes are
    // discarded and a recovered chart is restored when nothing else is queued.
    std::vector<QString> questions;
    std::deque<SaveChoice> saveAnswers;
    std::deque<bool> restoreAnswers;
    // Runs while the restore question is open, as a signal arriving then would.
    std::function<void()> whileAskingToRestore;
    SaveChoice askToSave(QWidget*, const QString&, const QString& text) override
    {
        questions.push_back(text);
        if (saveAnswers.empty())
            return SaveChoice::Discard;
        const SaveChoice c = saveAnswers.front();
        saveAnswers.pop_front();
        return c;
    }
    // Asked before something is lost; goes on unless told otherwise.
    std::deque<bool> goOnAnswers;
    bool askToGoOn(QWidget*, const QString&, const QString& text, const QString&) override
    {
        questions.push_back(text);
        if (goOnAnswers.empty())
            return true;
        const bool goOn = goOnAnswers.front();
        goOnAnswers.pop_front();
        return goOn;
    }
    bool askToRestore(QWidget*, const QString&, const QString& text) override
    {
        questions.push_back(text);
        if (whileAskingToRestore)
            whileAskingToRestore();
        if (restoreAnswers.empty())
            return true;
        const bool restore = restoreAnswers.front();
        restoreAnswers.pop_front();
        return restore;
    }
};

// A window over fakes, made fresh for every test.
struct EditorRig
{
    KeP kep;
    FakeSoundEngine engine;
    FakeFileChooser chooser;
    FakeClipboard clipboard;
    FakeMessages messages;
    std::shared_ptr<FakeKeys> keys = std::make_shared<FakeKeys>();
    // The program's folder, writable as a build tree is.
    QTemporaryDir programDir;
    int quitCalls = 0;
    std::vector<std::string> logAtQuit;
    // Remembered choices live here, never in the user's settings; so do the side files of
    // charts whose folders refuse them.
    QTemporaryDir settingsDir;
    QTemporaryDir notesDir;
    std::unique_ptr<KE> window;

    EditorServices services(const QString& commandLine = QStringLiteral("tavix-editor"),
                            double hz = 60.0)
    {
        EditorServices s{engine, chooser, clipboard, messages};
        auto shared = keys;
        s.keySource = [shared] { return std::make_unique<FakeKeySource>(shared); };
        s.frameHz = hz;
        s.quit = [this] {
            ++quitCalls;
            logAtQuit = engine.log;
        };
        s.commandLine = commandLine;
        s.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        s.programDir = programDir.path();
        s.now = [this] { return engine.now; };
        s.chartNotesDir = notesDir.path();
        s.settings = [this] {
            return std::make_unique<QSettings>(settingsDir.filePath(QStringLiteral("tavix.ini")),
                                               QSettings::IniFormat);
        };
        return s;
    }

    KE& make(const QString& commandLine = QStringLiteral("tavix-editor"), double hz = 60.0)
    {
        window = std::make_unique<KE>(kep, services(commandLine, hz));
        return *window;
    }
    KE& make(EditorServices s)
    {
        window = std::make_unique<KE>(kep, std::move(s));
        return *window;
    }

    // Opens a song of the given length through the toolbar's open button.
    bool openSong(const std::string& path, int32_t lengthMs)
    {
        engine.songs[path] = lengthMs;
        chooser.answerWith(QString::fromStdString(path));
        window->buttonClick(8);
        return window->state().MusicStream != 0 &&
               window->MSeteD().text() == QFileInfo(QString::fromStdString(path)).fileName();
    }

    // Runs one playback pass after moving the clock by ms.
    void step(double ms)
    {
        engine.advance(ms);
        window->playbackPass();
    }
};

} // namespace tavix::test
