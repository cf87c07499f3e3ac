#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace tavix::test {

// An Xvfb of the test's own. The server picks a free display number itself (-displayfd),
// so suites can run side by side, and it does not reset when its last client leaves
// (-noreset), so a program started right after another one closed finds the server as it
// was, never one that is tearing itself down.
class PrivateXServer
{
public:
    PrivateXServer() = default;
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // False when Xvfb is missing or did not come up.
    bool start(const QString& screen = QStringLiteral("1280x1024x24"));
    // ":N", empty before a successful start.
    const QString& display() const { return m_display; }
    // The environment of this process with DISPLAY naming this server.
    QProcessEnvironment environment() const;

private:
    QProcess m_server;
    QString m_display;
};

} // namespace tavix::test
