#pragma once

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace tavix {

class Autosave;
class MessageService;

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
        // The tempo and offset texts as they were shown (an empty one stays as it is).
        virtual void restoreTexts(const QString& tempoText, const QString& offsetText) = 0;
        virtual void openSong(const QString& path) = 0;
        // Opens the kept copy as the chart of `chartPath`; false when it failed.
        virtual bool openChart(const QString& copyPath, const QString& title,
                               const QString& chartPath) = 0;
        // The chart matches no saved file.
        virtual void markUnsaved() = 0;
        // The editor has ended (a signal while the question was open).
        virtual bool ended() const = 0;
    };

    RecoveryWorkflow(QString dir, MessageService& messages, QWidget* owner, Host& host)
        : m_dir(std::move(dir)), m_messages(messages), m_owner(owner), m_host(host)
    {
    }

    // Offers the newest set no running editor holds; true when its chart was restored.
    // `autosave` keeps the restored chart (none: it is not kept).
    bool offer(Autosave* autosave);

private:
    QString m_dir;
    MessageService& m_messages;
    QWidget* m_owner;
    Host& m_host;
};

} // namespace tavix
