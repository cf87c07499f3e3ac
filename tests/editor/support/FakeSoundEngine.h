#pragma once

#include "SoundEngine.h"
#include "WaveformPeaks.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace tavix::test {

// A sound engine on a clock the test moves. Streams advance only in advance(); every
// call is logged; effect starts queued with PlayAt are "heard" when the music passes
// their instant, so a test sees exactly which sounds a listener would hear and when.
class FakeSoundEngine : public SoundEngine
{
public:
    struct Stream
    {
        bool memory = false;
        std::string path;
        int32_t lengthMs = 0;
        double posMs = 0.0;
        bool playing = false;
        int channel = -1;
        double decodeProgress = 1.0;
        int32_t lengthWhileDecodingMs = -1; // what the length reads until decoded, if set
        bool closed = false;
        int ratePercent = 100; // song time advances this many hundredths of the clock's
        double loopFromMs = 0; // a loop when loopToMs > loopFromMs
        double loopToMs = 0;
        std::shared_ptr<const WaveformPeaks> peaks;
    };
    struct Scheduled
    {
        int channel = 0;
        StreamHandle effect = 0;
        StreamHandle music = 0;
        double musicMs = 0.0;
    };
    struct Heard
    {
        int channel = 0;
        StreamHandle effect = 0;
        double musicMs = 0.0;   // the instant it was queued for
        double heardAtMs = 0.0; // the music position of the step that passed it
    };

    // Songs that open, by path, with their lengths, and how far they are decoded on open.
    std::map<std::string, int32_t> songs;
    std::map<std::string, double> songProgress;
    // Songs whose length reads otherwise (an estimate, or 0) until they are decoded.
    std::map<std::string, int32_t> songLengthWhileDecoding;
    std::map<std::string, std::shared_ptr<const WaveformPeaks>> songPeaks;
    // What the engine says of files it cannot open, by path ("No such file" otherwise), and
    // the one whose opening runs out of memory.
    std::map<std::string, QString> openErrors;
    std::string exhaustsMemory;
    std::vector<std::string> log;
    std::vector<Scheduled> pending;
    std::vector<Heard> heard;
    std::map<StreamHandle, Stream> streams;
    bool initialised = false;
    bool closedEngine = false;
    int32_t memoryLengthMs = 100; // of every stream opened from memory
    double calibratedLatencyMs = 0.0;
    double deviceLatencyMs = 5.0;
    bool latencyApplies = true;
    QString error;

    Clock::time_point now = Clock::time_point{} + std::chrono::hours(1);

    // Moves the clock: playing streams advance, and what they pass is heard. The step is
    // cut into slices of at most `slice` ms so instants are heard in order.
    void advance(double ms, double slice = 1.0)
    {
        while (ms > 1e-9) {
            const double step = std::min(ms, slice);
            ms -= step;
            now += std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double, std::milli>(step));
            for (auto& [handle, s] : streams) {
                // Clips stand still; a stream from memory played as music moves like one.
                if (!s.playing || (s.memory && s.channel != MusicChannel))
                    continue;
                // A loop's time runs on through its passes and never reaches the end.
                const bool looping = s.loopToMs > s.loopFromMs;
                s.posMs = s.posMs + step * s.ratePercent / 100.0;
                if (!looping)
                    s.posMs = std::min(s.posMs, double(s.lengthMs));
                hearUpTo(handle, s.posMs);
                if (!looping && s.posMs >= double(s.lengthMs))
                    s.playing = false;
            }
        }
    }

    void hearUpTo(StreamHandle music, double posMs)
    {
        auto it = pending.begin();
        while (it != pending.end()) {
            if (it->music == music && it->musicMs <= posMs + 1e-9) {
                heard.push_back({it->channel, it->effect, it->musicMs, posMs});
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
    }

    void dropPending(StreamHandle music)
    {
        pending.erase(std::remove_if(pending.begin(), pending.end(),
                                     [&](const Scheduled& s) { return s.music == music; }),
                      pending.end());
    }

    Stream* find(StreamHandle h)
    {
        auto it = streams.find(h);
        return it == streams.end() || it->second.closed ? nullptr : &it->second;
    }

    StreamHandle musicHandle() const
    {
        StreamHandle last = 0;
        for (const auto& [handle, s] : streams)
            if (!s.memory && !s.closed)
                last = handle;
        return last;
    }

    int countLog(const std::string& prefix) const
    {
        return int(std::count_if(log.begin(), log.end(), [&](const std::string& line) {
            return line.rfind(prefix, 0) == 0;
        }));
    }

    // SoundEngine
    bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags) override
    {
        log.push_back("Init " + std::to_string(mixRate) + " " +
                      std::to_string(maxSoftwareChannels) + " " + std::to_string(flags));
        initialised = true;
        return true;
    }

    StreamHandle FSOUND_Stream_Open(const char* nameOrData, unsigned mode, int offset,
                                    int length) override
    {
        char modeText[16];
        std::snprintf(modeText, sizeof modeText, "0x%X", mode);
        Stream s;
        if (mode & FSOUND_LOADMEMORY) {
            log.push_back(std::string("OpenMemory ") + modeText + " " + std::to_string(offset) +
                          " " + std::to_string(length));
            s.memory = true;
            s.lengthMs = memoryLengthMs;
        } else {
            const std::string path = nameOrData ? nameOrData : "";
            log.push_back(std::string("Open ") + path + " " + modeText);
            if (path == exhaustsMemory)
                throw std::bad_alloc();
            const auto song = songs.find(path);
            if (song == songs.end()) {
                const auto said = openErrors.find(path);
                error = said != openErrors.end() ? said->second : QStringLiteral("No such file");
                return 0;
            }
            s.path = path;
            s.lengthMs = song->second;
            if (const auto p = songProgress.find(path); p != songProgress.end())
                s.decodeProgress = p->second;
            if (const auto l = songLengthWhileDecoding.find(path);
                l != songLengthWhileDecoding.end())
                s.lengthWhileDecodingMs = l->second;
            if (const auto p = songPeaks.find(path); p != songPeaks.end())
                s.peaks = p->second;
        }
        const StreamHandle h = m_next++;
        streams[h] = s;
        return h;
    }

    int32_t FSOUND_Stream_GetLengthMs(StreamHandle h) override
    {
        const Stream* s = find(h);
        if (!s)
            return 0;
        return s->decodeProgress < 1.0 && s->lengthWhileDecodingMs >= 0 ? s->lengthWhileDecodingMs
                                                                        : s->lengthMs;
    }

    bool FSOUND_Stream_Play(int channel, StreamHandle h) override
    {
        log.push_back("Play " + std::to_string(channel) + " " + std::to_string(h));
        Stream* s = find(h);
        if (!s)
            return false;
        if (s->posMs >= double(s->lengthMs))
            s->posMs = 0;
        s->playing = true;
        s->channel = channel;
        return true;
    }

    int32_t FSOUND_Stream_GetTime(StreamHandle h) override
    {
        const Stream* s = find(h);
        // The nearest whole millisecond, as the real engine reads a frame back.
        return s ? int32_t(std::llround(s->posMs)) : 0;
    }

    bool FSOUND_Stream_SetTime(StreamHandle h, int32_t ms) override
    {
        log.push_back("SetTime " + std::to_string(h) + " " + std::to_string(ms));
        Stream* s = find(h);
        if (!s)
            return false;
        s->posMs = std::clamp(double(ms), 0.0, double(s->lengthMs));
        dropPending(h);
        return true;
    }

    bool FSOUND_Stream_Stop(StreamHandle h) override
    {
        log.push_back("Stop " + std::to_string(h));
        Stream* s = find(h);
        if (!s)
            return false;
        s->playing = false;
        s->posMs = 0;
        dropPending(h);
        return true;
    }

    bool FSOUND_Stream_Close(StreamHandle h) override
    {
        log.push_back("Close " + std::to_string(h));
        Stream* s = find(h);
        if (!s)
            return false;
        s->closed = true;
        s->playing = false;
        dropPending(h);
        return true;
    }

    void FSOUND_Close() override
    {
        log.push_back("CloseEngine");
        closedEngine = true;
    }

    bool FSOUND_Stream_PlayAt(int channel, StreamHandle effect, StreamHandle music,
                              double musicMs) override
    {
        log.push_back("PlayAt " + std::to_string(channel));
        if (!find(music))
            return false;
        pending.push_back({channel, effect, music, musicMs});
        return true;
    }

    void FSOUND_Stream_CancelScheduled(StreamHandle music) override
    {
        log.push_back("Cancel " + std::to_string(music));
        dropPending(music);
    }

    double streamTimeExact(StreamHandle h) override
    {
        const Stream* s = find(h);
        return s ? s->posMs : 0.0;
    }

    double streamTimeAt(StreamHandle h, Clock::time_point when) override
    {
        const Stream* s = find(h);
        if (!s)
            return 0.0;
        if (!s->playing)
            return s->posMs;
        const double back = std::chrono::duration<double, std::milli>(now - when).count();
        return s->posMs - back * s->ratePercent / 100.0;
    }

    bool isPlaying(StreamHandle h) override
    {
        const Stream* s = find(h);
        return s && s->playing;
    }

    double decodeProgress(StreamHandle h) override
    {
        const Stream* s = find(h);
        return s ? s->decodeProgress : 1.0;
    }

    void setCalibratedLatencyMs(double ms) override { calibratedLatencyMs = ms; }

    bool calibratedLatencyApplies() override { return latencyApplies; }

    bool setMutedBefore(StreamHandle h, double ms) override
    {
        if (!find(h))
            return false;
        log.push_back("mute " + std::to_string(h) + " " + std::to_string(int(ms)));
        return true;
    }

    std::optional<double> setLoop(StreamHandle h, double fromMs, double toMs) override
    {
        Stream* s = find(h);
        if (!s || (toMs > fromMs && (fromMs < 0 || toMs > double(s->lengthMs))))
            return std::nullopt;
        log.push_back("loop " + std::to_string(h) + " " + std::to_string(int(fromMs)) + " " +
                      std::to_string(int(toMs)));
        s->loopFromMs = fromMs;
        s->loopToMs = std::max(toMs, fromMs);
        return s->loopToMs - s->loopFromMs;
    }

    double outputLatencyMs() override
    {
        return deviceLatencyMs + (latencyApplies ? calibratedLatencyMs : 0.0);
    }

    bool setPlaybackRate(StreamHandle h, int percent) override
    {
        Stream* s = find(h);
        if (!s || percent < 1 || percent > 100)
            return false;
        log.push_back("rate " + std::to_string(h) + " " + std::to_string(percent));
        s->ratePercent = percent;
        return true;
    }

    int playbackRate(StreamHandle h) override
    {
        const Stream* s = find(h);
        return s ? s->ratePercent : 100;
    }

    std::shared_ptr<const WaveformPeaks> waveformPeaks(StreamHandle h) override
    {
        const Stream* s = find(h);
        return s ? s->peaks : nullptr;
    }

    QString lastError() const override { return error; }

private:
    StreamHandle m_next = 1;
};

} // namespace tavix::test
