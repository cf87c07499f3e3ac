#pragma once

#include "RecoveryInfo.h"

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace tavix {

class Autosave;
class ChartDocument;
class MessageService;
class PlaybackSession;
class TimingFields;

// The chart a previous editor left in the recovery folder when it ended without closing:
// the user is asked whether to restore it; restored, it comes back with its tempo, offset
// and song, is marked unsaved, and is kept at once under this editor's own name before the
// files left behind go. Declined, they go at once.
class RecoveryWorkflow
{
    Q_DECLARE_TR_FUNCTIONS(RecoveryWorkflow)
public:
    // What restoring needs of the window.
    class Host
    {
    public:
        virtual ~Host() = default;
        virtual bool openSong(const QString& path, const QString& title, bool askBeforeCutting) = 0;
        // Opens the kept copy as the chart of `chartPath`; false when it failed.
        virtual bool openChart(const QString& copyPath, const QString& title,
                               const QString& chartPath) = 0;
        // The editor has ended (a signal while the question was open).
        virtual bool ended() const = 0;
    };
    struct Parts
    {
        ChartDocument& document;
        const PlaybackSession& session;
        TimingFields& fields;
        MessageService& messages;
    };

    RecoveryWorkflow(Parts parts, QString dir, QWidget* owner, Host& host)
        : m_p(parts), m_dir(std::move(dir)), m_owner(owner), m_host(host)
    {
    }

    // Offers the newest set no running editor holds; true when its chart was restored.
    // `autosave` keeps the restored chart (none: it is not kept).
    bool offer(Autosave* autosave);
    // What the chart belongs to now, as a recovery copy notes it: its file and its song
    // as absolute paths, so the next editor finds them wherever it is started from.
    RecoveryInfo info() const;

private:
    Parts m_p;
    QString m_dir;
    QWidget* m_owner;
    Host& m_host;
};

} // namespace tavix
