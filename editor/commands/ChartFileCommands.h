#pragma once

#include "WindowFacts.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

namespace tavix {

class ChartDocument;
class DialogStartFolder;
class FileChooser;
class MessageService;

// Saving the chart and opening a chart file. A failure is told in a message box that
// says in the user's words what is wrong, with the detail after it; a failed open,
// including one that runs out of memory, changes nothing. A chart file cut short opens
// with what it holds, is said so, and stays marked unsaved.
class ChartFileCommands
{
    Q_DECLARE_TR_FUNCTIONS(ChartFileCommands)
public:
    // What the commands need of the window.
    class Host
    {
    public:
        virtual ~Host() = default;
        virtual WindowFacts facts(WindowFacts::Kind kind) const = 0;
        // The tempo text, which sizes a chart opened without music.
        virtual QString tempoText() const = 0;
        virtual bool hasMusic() const = 0;
        // A chart has been read: the window shows it under `title`. Without music the
        // chart also gave the song's length.
        virtual void showChart(const QString& title, std::optional<int32_t> songLenMs) = 0;
        // The chart read is in the history: the window draws it.
        virtual void chartOpened() = 0;
        // The chart was saved to `path`.
        virtual void chartSaved(const QString& path) = 0;
        // Before the question about unsaved changes: playback records nothing more.
        virtual void pauseForQuestion() = 0;
        // The save command as the user gives it.
        virtual bool saveCommand() = 0;
    };

    ChartFileCommands(ChartDocument& document, FileChooser& chooser, MessageService& messages,
                      DialogStartFolder& startFolder, QLocale locale, QWidget* owner, Host& host)
        : m_document(document), m_chooser(chooser), m_messages(messages),
          m_startFolder(startFolder), m_locale(std::move(locale)), m_owner(owner), m_host(host)
    {
    }

    // Asks for a file and saves the chart there; true when it was saved.
    bool save();
    // Asks for a chart file; its name and title when one was chosen.
    struct Chosen
    {
        QString path;
        QString title;
    };
    std::optional<Chosen> chooseChart();
    // Reads `path` and shows it as `title`. The chart is read through the editing
    // interface, so the open is one step that can be undone; a check that fails after
    // the reading takes the change back. `chartPath` is the file the chart belongs to
    // (another than `path` for a recovery copy, empty for none).
    bool open(const QString& path, const QString& title, const QString& chartPath);
    // Before the chart is closed or replaced: asks, when it has unsaved changes, whether
    // to save them, discard them or cancel. True when the caller may go on.
    bool mayLeave(const QString& question);

private:
    ChartDocument& m_document;
    FileChooser& m_chooser;
    MessageService& m_messages;
    DialogStartFolder& m_startFolder;
    QLocale m_locale; // the number rules of the tempo text
    QWidget* m_owner;
    Host& m_host;
};

} // namespace tavix
