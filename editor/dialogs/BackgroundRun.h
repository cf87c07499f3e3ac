#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <stop_token>

namespace tavix {

// Work run for an owner on the window's thread that never waits for it. A run that is
// given up (a new one started, stop(), the owner gone) is asked to stop and left to end
// by itself on its thread; the process's thread pool waits for what is left only when the
// program ends. Each run gets a thread of its own at once, never one behind a run that is
// still winding down.
class BackgroundRun
{
public:
    using Work = std::function<void(const std::stop_token&)>;

    BackgroundRun() = default;
    ~BackgroundRun() { stop(); }
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    // Starts `work`, after asking the run before it to stop.
    void start(Work work);
    void stop();

    // Runs `report` on `receiver`'s thread unless the receiver is gone by then. Safe to call
    // from the run's thread with a pointer taken on the receiver's.
    static void post(const QPointer<QObject>& receiver, std::function<void()> report);

private:
    std::stop_source m_stop{std::nostopstate};
};

} // namespace tavix
