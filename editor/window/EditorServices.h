#pragma once

#include "KeyInput.h"
#include "SongTempo.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSettings>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tavix {

class ClipboardService;
class FileChooser;
class MessageService;
class SoundEngine;

// Everything the window needs from outside it. The application passes the real ones;
// tests pass fakes.
struct EditorServices
{
    EditorServices(SoundEngine& sound_, FileChooser& chooser_, ClipboardService& clipboard_,
                   MessageService& messages_)
        : sound(sound_), chooser(chooser_), clipboard(clipboard_), messages(messages_)
    {
    }

    SoundEngine& sound;
    FileChooser& chooser;
    ClipboardService& clipboard;
    MessageService& messages;
    // Makes the keyboard's key source when the window acquires the keyboard.
    std::function<std::unique_ptr<KeySource>()> keySource = [] { return makeSystemKeySource(); };
    // Passes per second while playing; unset: TAVIX_FRAME_HZ, else the screen's rate.
    std::optional<double> frameHz;
    // Ends the program once the window has shut down.
    std::function<void()> quit = [] { QCoreApplication::quit(); };
    // The moment now on the clock that key presses are stamped with.
    std::function<std::chrono::steady_clock::time_point()> now = [] {
        return std::chrono::steady_clock::now();
    };
    // The whole command line, its arguments joined with spaces.
    QString commandLine;
    // The number rules of the tempo and offset fields.
    QLocale locale = QLocale::system();
    // The program's own folder, where the file dialogs start while it is writable.
    QString programDir;
    // Tempo detection on a song file, run off the window thread by the tempo dialog; unset:
    // the dialog offers taps only. The application passes detectSongTempo.
    std::function<SongTempo(const QString& path, const TempoOptions& options,
                            const std::stop_token& stop, const TempoDetector::Progress& progress)>
        detectTempo;
    // Where choices are remembered between runs (the view, the calibrated audio latency).
    std::function<std::unique_ptr<QSettings>()> settings = [] {
        return std::make_unique<QSettings>(QStringLiteral("tavix"), QStringLiteral("tavix-editor"));
    };
    // Where a chart with unsaved changes is kept for recovery; empty: it is not kept.
    QString recoveryDir;
    // How long after a change the chart is written there.
    int autosaveIntervalMs = 30000;
    // Where the side file of a chart (its song, tempo and offset) goes when the chart's own
    // folder cannot take it; empty: only beside the chart.
    QString chartNotesDir;
};

} // namespace tavix
