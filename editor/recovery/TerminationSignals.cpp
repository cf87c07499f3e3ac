#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tavix {

namespace {

// A signal handler can reach nothing but a process-wide value: the socket it writes to.
std::atomic<int> handlerSocket{-1};

constexpr int Handled[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void onTerminationSignal(int signalNumber)
{
    const int saved = errno;
    const char number = char(signalNumber);
    const int fd = handlerSocket.load();
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (handlerSocket.load() >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, m_sockets) != 0)
        return;
    handlerSocket.store(m_sockets[0]);
    m_notifier = std::make_unique<QSocketNotifier>(m_sockets[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readSignal(); });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = true;
    for (const int s : Handled)
        m_installed = ::sigaction(s, &action, nullptr) == 0 && m_installed;
}

TerminationSignals::~TerminationSignals()
{
    if (m_sockets[0] < 0)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int s : Handled)
        ::sigaction(s, &action, nullptr);
    handlerSocket.store(-1);
    m_notifier.reset();
    ::close(m_sockets[0]);
    ::close(m_sockets[1]);
}

void TerminationSignals::readSignal()
{
    char number = 0;
    if (::read(m_sockets[1], &number, 1) == 1)
        emit received(int(number));
}

} // namespace tavix
