#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace tavix {

// SIGTERM, SIGHUP and SIGINT (Ctrl+C in a terminal) delivered as a Qt signal on the thread that
// made this object. The handler only writes the signal's number to a socket pair (all a handler may
// safely do); a notifier reads it in the event loop. One instance at a time; the default handling
// comes back when it goes.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    bool installed() const { return m_installed; }

signals:
    void received(int signalNumber);

private:
    void readSignal();

    int m_sockets[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_installed = false;
};

} // namespace tavix
