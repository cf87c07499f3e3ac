#include "CommandTransport.h"

#include <algorithm>
#include <thread>

namespace tavix {

void CommandTransport::run(int channels, int rate, size_t commandCapacity,
                           const AudioDevice::Info& info)
{
    m_rate = rate;
    m_lastRequest.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    m_mixerBusy.store(false, std::memory_order_relaxed);
    m_commands = std::make_unique<SpscQueue<EngineCommand>>(std::max<size_t>(commandCapacity, 2));
    m_mixer = std::make_unique<Mixer>(channels, rate);
    m_clock.reset(rate, 0, info.frameCounter);
    m_clockOut.publish(m_clock);
    m_linked = nullptr;
    m_lastApplied = m_nextSeq;
    m_appliedSeq.store(m_nextSeq, std::memory_order_relaxed);
    m_startsSent = 0;
    m_startsRetired.store(0, std::memory_order_relaxed);
    m_framesMixed.store(0, std::memory_order_relaxed);
    m_closing.store(false, std::memory_order_relaxed);
    // A file driver with no delay would write silence as fast as the disk takes it: while
    // nothing plays it goes at the speed of real time instead (see mix()).
    m_throttleIdle = info.kind == AudioDevice::Kind::Sdl && info.frameCounter;
}

void CommandTransport::finishClose()
{
    m_linked = nullptr;
    m_mixer.reset();
    m_commands.reset();
    m_closing.store(false, std::memory_order_relaxed);
}

void CommandTransport::handOver(uint32_t generation, const AudioDevice::Info& info)
{
    m_handover.store(true, std::memory_order_release);
    m_gate.handTo(generation);
    m_handover.store(false, std::memory_order_release);
    // No device mixes until the new one starts: the audio thread's part is the caller's.
    if (info.frameCounter != m_clock.frameCounter())
        m_clock.reset(m_rate, 0, info.frameCounter);
    m_throttleIdle = info.kind == AudioDevice::Kind::Sdl && info.frameCounter;
    noteRequest(Clock::now());
}

bool CommandTransport::expectsRequests() const
{
    return m_nextSeq > m_appliedSeq.load(std::memory_order_acquire) ||
           m_mixerBusy.load(std::memory_order_acquire);
}

CommandTransport::Clock::time_point CommandTransport::lastRequest() const
{
    return Clock::time_point{Clock::duration(m_lastRequest.load(std::memory_order_acquire))};
}

uint64_t CommandTransport::startsWaiting() const
{
    return m_startsSent - m_startsRetired.load(std::memory_order_acquire);
}

// ---- The audio thread ----------------------------------------------------------------------

void CommandTransport::noteRequest(Clock::time_point when)
{
    m_lastRequest.store(when.time_since_epoch().count(), std::memory_order_release);
}

void CommandTransport::link(EngineStream* s)
{
    s->prev = nullptr;
    s->next = m_linked;
    if (m_linked)
        m_linked->prev = s;
    m_linked = s;
}

void CommandTransport::unlink(EngineStream* s)
{
    if (s->prev)
        s->prev->next = s->next;
    else if (m_linked == s)
        m_linked = s->next;
    if (s->next)
        s->next->prev = s->prev;
    s->prev = s->next = nullptr;
}

void CommandTransport::applyCommands()
{
    using Kind = EngineCommand::Kind;
    EngineCommand c;
    while (m_commands->pop(c)) {
        Mixer& mixer = *m_mixer;
        mixer.setListenerFrame(c.stamp);
        EngineStream& s = *c.stream;
        s.touched = true;
        switch (c.kind) {
        case Kind::Add:
            mixer.addStream(s.voice);
            link(&s);
            break;
        case Kind::Remove:
            mixer.removeStream(s.voice);
            unlink(&s);
            break;
        case Kind::Play:
            mixer.play(c.channel, s.voice);
            break;
        case Kind::Resume:
            mixer.play(c.channel, s.voice, true);
            break;
        case Kind::Stop:
            mixer.stop(s.voice);
            break;
        case Kind::Seek:
            mixer.seek(s.voice, c.frame);
            break;
        case Kind::PlayAt:
            mixer.playAt(c.channel, s.voice, c.music->voice, c.frame);
            break;
        case Kind::Cancel:
            mixer.cancelScheduled(s.voice);
            break;
        case Kind::Stretch:
            mixer.setStretch(s.voice, c.feed);
            break;
        case Kind::Loop:
            mixer.setLoop(s.voice, c.frame, c.endFrame);
            break;
        case Kind::Mute:
            mixer.setMutedBelow(s.voice, c.frame);
            break;
        }
        if (c.kind != Kind::PlayAt && c.kind != Kind::Cancel && c.kind != Kind::Stretch &&
            c.kind != Kind::Loop && c.kind != Kind::Mute)
            s.appliedSeq = c.seq;
        m_lastApplied = c.seq;
    }
}

void CommandTransport::publish()
{
    for (EngineStream* s = m_linked; s; s = s->next) {
        const Mixer::Timeline& t = s->voice.timeline();
        const Mixer::Segment newest =
            t.segmentCount > 0 ? t.segments[static_cast<size_t>(t.newest)] : Mixer::Segment{};
        if (s->touched || t.channel >= 0 || t.channel != s->lastChannel || t.pos != s->lastPos ||
            !(newest == s->lastNewest))
            s->out.publish({t, s->appliedSeq});
        s->touched = false;
        s->lastNewest = newest;
        s->lastPos = t.pos;
        s->lastChannel = t.channel;
    }
    m_clockOut.publish(m_clock);
    m_framesMixed.store(m_mixer->mixFrame(), std::memory_order_release);
    m_startsRetired.store(m_mixer->startsRetired(), std::memory_order_release);
    m_mixerBusy.store(m_mixer->busy(), std::memory_order_release);
    // Last: once the caller sees a command carried out, the audio thread is done with
    // whatever that command let go of.
    m_appliedSeq.store(m_lastApplied, std::memory_order_release);
}

AudioDevice::Render CommandTransport::renderFor(uint32_t generation)
{
    return [this, generation](int16_t* out, int frames, Clock::time_point when) {
        render(generation, out, frames, when);
    };
}

void CommandTransport::render(uint32_t generation, int16_t* out, int frames, Clock::time_point when)
{
    if (!m_gate.enter(generation)) {
        std::fill_n(out, 2 * frames, int16_t{0}); // a device given up for stopped
        return;
    }
    mix(out, frames, when);
    m_gate.leave(generation);
}

bool CommandTransport::abandoning() const
{
    return m_closing.load(std::memory_order_acquire) || m_handover.load(std::memory_order_acquire);
}

void CommandTransport::mix(int16_t* out, int frames, Clock::time_point when)
{
    auto silence = [&] { std::fill_n(out, 2 * frames, int16_t{0}); };
    noteRequest(when);
    if (!m_mixer || abandoning())
        return silence();
    applyCommands();
    if (m_throttleIdle && !m_mixer->busy()) {
        // Nothing to mix for a file written as fast as it goes: let a block's worth of
        // real time pass unless a command comes first. A file driver has no deadline, so
        // this is the one place the audio thread sleeps.
        const auto until =
            when + std::chrono::duration_cast<Clock::duration>(
                       std::chrono::duration<double>(static_cast<double>(frames) / m_rate));
        while (m_commands->empty() && Clock::now() < until && !abandoning())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (abandoning())
            return silence();
        applyCommands();
        when = Clock::now();
    }
    // Time means nothing to a file driver, so rather than write silence where a song is
    // still being decoded, wait for the decoder: the capture then has no gaps. The device
    // is waiting on purpose then, not stopped.
    for (int waited = 0; m_throttleIdle && m_mixer->waitingForData(frames) && waited < 5000;
         ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (abandoning())
            return silence();
        noteRequest(Clock::now());
    }
    const int64_t before = m_mixer->mixFrame();
    m_clock.onCallback(when, before, frames);
    if (m_observer)
        m_observer(when, before, frames);
    m_mixer->render(out, frames);
    publish();
}

} // namespace tavix
