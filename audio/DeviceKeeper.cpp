#include "DeviceKeeper.h"

#include <QtGlobal>

namespace tavix {

DeviceKeeper::DeviceKeeper(CommandTransport& transport, QString& lastError)
    : m_transport(transport), m_lastError(lastError)
{
}

void DeviceKeeper::open(AudioDevice::Kind kind, int rate, int bufferFrames, QString* note)
{
    m_kind = kind;
    m_bufferFrames = bufferFrames;
    m_transport.handTo(++m_generation);
    m_device->open(kind, rate, bufferFrames, m_transport.renderFor(m_generation), note);
    m_rate = m_device->info().rate;
    m_restarts = 0;
}

void DeviceKeeper::closeAll()
{
    adopt(true);
    m_transport.beginClose();
    // The stopped devices first, newest first (each one's closer waits for the one before).
    while (!m_retiredDevices.empty())
        m_retiredDevices.pop_back();
    m_device->close(); // no render call runs once this returns
}

bool DeviceKeeper::watch(Clock::time_point now)
{
    const bool adopted = adopt(false);
    if (m_keeper.joinable())
        return adopted;
    const AudioDevice::Info& info = m_device->info();
    if (info.kind == AudioDevice::Kind::Manual)
        return adopted;
    const double silent = std::chrono::duration<double>(now - m_transport.lastRequest()).count();
    if (!m_transport.expectsRequests() || silent < StallSeconds)
        return adopted;
    // One opened again that stops soon after is no use: play on silently, on the clock.
    const bool again = m_restarts > 0 && now - m_lastRestart < std::chrono::seconds(10);
    // Nor while a stopped device is still being closed: the sound library must not open
    // one and close another at once.
    const bool closing = m_closersRunning.load(std::memory_order_acquire) > 0;
    const AudioDevice::Kind next = again || closing || info.kind == AudioDevice::Kind::Timer
                                       ? AudioDevice::Kind::Timer
                                       : m_kind;
    ++m_restarts;
    m_lastRestart = now;
    m_lastError = QStringLiteral("The audio device (%1) stopped asking for sound for %2 s; %3")
                      .arg(info.driver)
                      .arg(silent, 0, 'f', 1)
                      .arg(next == AudioDevice::Kind::Timer && info.kind != next
                               ? QStringLiteral("playing on silently")
                               : QStringLiteral("opening it again"));
    qWarning("tavix: %s", qPrintable(m_lastError));
    m_replaced.store(false, std::memory_order_relaxed);
    m_keeper =
        std::jthread([this, generation = ++m_generation, next] { replace(generation, next); });
    return adopted;
}

void DeviceKeeper::replace(uint32_t generation, AudioDevice::Kind kind)
{
    // The keeper's thread: opens the new device and hands the mixer to it; the caller's
    // thread takes it over at its next call.
    auto device = std::make_unique<AudioDevice>();
    QString note;
    device->open(kind, m_rate, m_bufferFrames, m_transport.renderFor(generation), &note);
    if (device->info().rate != m_rate) {
        // The mix keeps its rate: at another one, it plays on silently instead.
        note = QStringLiteral("it came back at %1 Hz, not %2 Hz; playing on silently")
                   .arg(device->info().rate)
                   .arg(m_rate);
        device->open(AudioDevice::Kind::Timer, m_rate, m_bufferFrames,
                     m_transport.renderFor(generation), nullptr);
    }
    m_transport.handOver(generation, device->info());
    device->start();
    m_replacement = std::move(device);
    m_replacementNote = note;
    m_replaced.store(true, std::memory_order_release);
}

bool DeviceKeeper::adopt(bool wait)
{
    if (!m_keeper.joinable() || (!wait && !m_replaced.load(std::memory_order_acquire)))
        return false;
    m_keeper.join();
    m_replaced.store(false, std::memory_order_relaxed);
    // The stopped device is closed on a thread of its own, as long as its driver takes to
    // let go; until then its requests, if any come, get silence.
    std::jthread before =
        m_retiredDevices.empty() ? std::jthread() : std::move(m_retiredDevices.back().closer);
    RetiredDevice& old = m_retiredDevices.emplace_back();
    old.device = std::move(m_device);
    m_closersRunning.fetch_add(1, std::memory_order_acq_rel);
    old.closer =
        std::jthread([this, device = old.device.get(), before = std::move(before)]() mutable {
            if (before.joinable())
                before.join();
            device->close();
            m_closersRunning.fetch_sub(1, std::memory_order_acq_rel);
        });
    m_device = std::move(m_replacement);
    if (!m_replacementNote.isEmpty())
        m_lastError += QStringLiteral(" (%1)").arg(m_replacementNote);
    m_replacementNote.clear();
    return true;
}

} // namespace tavix
