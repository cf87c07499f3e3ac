#pragma once

#include "ChartSideFile.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>

class QWidget;

namespace tavix {

class ChartDocument;
class FileChooser;
class MessageService;
class PlaybackSession;
class TimingFields;

// What a chart was made with, kept beside it: written with every save, and given back when
// the chart opens, as the user would have given it: the song first, then the tempo and
// offset commits, then the chart, all one step. A song that is gone is looked for beside
// the chart, then asked for; a chart without notes opens as any chart does.
class ChartNotes
{
    Q_DECLARE_TR_FUNCTIONS(ChartNotes)
public:
    class Host
    {
    public:
        virtual ~Host() = default;
        // Opens a song as the open-music command does; keys or markers it would cut off
        // are asked for first when `askBeforeCutting`.
        virtual bool openSong(const QString& path, const QString& title, bool askBeforeCutting) = 0;
        // Opens a chart as the open-chart command does (not while playing or closing).
        virtual bool openChart(const QString& path, const QString& title,
                               const QString& chartPath) = 0;
        virtual bool playingOrClosing() const = 0;
    };

    struct Parts
    {
        ChartDocument& document;
        const PlaybackSession& session;
        TimingFields& fields;
        FileChooser& chooser;
        MessageService& messages;
    };

    ChartNotes(Parts parts, QLocale locale, QString fallbackFolder, QWidget* owner, Host& host)
        : m_p(parts), m_locale(std::move(locale)), m_folder(std::move(fallbackFolder)),
          m_owner(owner), m_host(host)
    {
    }

    // After a save to `chartPath`: the song, tempo and offset go beside it.
    void keep(const QString& chartPath);
    // Opens `name` with what its notes say; the song they name is not opened when
    // `keepSong` (a song was given with the chart).
    bool open(const QString& name, const QString& title, bool keepSong);

private:
    bool openWith(const QString& name, const QString& title, const ChartSideFile::Notes& notes,
                  bool keepSong);
    // The song the notes name, or where it went: beside the chart, or where the user says.
    QString findSong(const QString& songPath, const QString& chartPath);

    Parts m_p;
    QLocale m_locale;
    QString m_folder;
    QWidget* m_owner;
    Host& m_host;
};

} // namespace tavix
