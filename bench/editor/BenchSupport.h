#pragma once

#include "ClipboardService.h"
#include "EditorServices.h"
#include "FileChooser.h"
#include "MessageService.h"

#include <QString>

#include <functional>

namespace tavix::bench {

// Services no benchmark needs: nothing to choose, no clipboard, messages on stderr (a
// modal box would stall a run).
class NoChooser : public FileChooser
{
public:
    FileChooserAnswer choose(const FileChooserRequest&) override { return {}; }
};

class NoClipboard : public ClipboardService
{
public:
    QString text() const override { return {}; }
    void setText(const QString&) override {}
};

class StderrMessages : public MessageService
{
public:
    void information(QWidget*, const QString& title, const QString& text) override;
    void warning(QWidget*, const QString& title, const QString& text) override;
    // No one answers: changes are let go, a recovered chart is not restored.
    SaveChoice askToSave(QWidget*, const QString&, const QString&) override
    {
        return SaveChoice::Discard;
    }
    bool askToRestore(QWidget*, const QString&, const QString&) override { return false; }
    // Nothing is lost without a user to ask.
    bool askToGoOn(QWidget*, const QString&, const QString&, const QString&) override
    {
        return false;
    }
};

// What a window under benchmark is given: those services over `engine`, passes at `hz`,
// no quitting, and keys from `keySource` when one is named.
struct QuietServices
{
    NoChooser chooser;
    NoClipboard clipboard;
    StderrMessages messages;

    EditorServices over(SoundEngine& engine, double hz,
                        std::function<std::unique_ptr<KeySource>()> keySource = {})
    {
        EditorServices services(engine, chooser, clipboard, messages);
        services.frameHz = hz;
        services.quit = [] {};
        if (keySource)
            services.keySource = std::move(keySource);
        return services;
    }
};

// Processes events until `done` holds or `timeoutMs` have passed; false on timeout.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs);

// Sets an environment variable for the engines made from here on.
void setEnv(const char* name, const QString& value);

} // namespace tavix::bench
