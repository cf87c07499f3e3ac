// tavix-play: checks the sound engine by ear or, with SDL's disk driver, by file.
#include "FMod.h"
#include "PlayOptions.h"
#include "ResourceInit.h"

#include <QFile>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

using namespace tavix;

namespace {

// Keeps the beat clicks scheduled a little ahead of the music, the way the editor plans
// its hit sounds.
class BeatClicks
{
public:
    BeatClicks(FMod& engine, StreamHandle music, double bpm, double offsetMs, int stack)
        : m_engine(engine), m_music(music), m_beatMs(60000.0 / bpm), m_offsetMs(offsetMs),
          m_stack(stack)
    {
        QFile clip(QStringLiteral(":/SOUND/PF"));
        if (!clip.open(QIODevice::ReadOnly))
            return;
        m_clip = clip.readAll();
        for (int i = 0; i < KeySoundChannels + 1; ++i) {
            const StreamHandle h = engine.FSOUND_Stream_Open(m_clip.constData(), FSOUND_MEMORY_MODE,
                                                             0, static_cast<int>(m_clip.size()));
            if (h != 0)
                m_clicks.push_back(h);
        }
    }

    bool ready() const { return static_cast<int>(m_clicks.size()) >= m_stack; }

    // From the music position `fromMs`: the beats up to `aheadMs` later, as many as the
    // engine takes now; the rest on a later call.
    void scheduleUntil(double fromMs, double aheadMs)
    {
        if (m_next < 0)
            m_next = std::max<long>(0, std::lround(std::ceil((fromMs - m_offsetMs) / m_beatMs)));
        // The length grows while a song of unknown length decodes.
        const int32_t lengthMs = m_engine.FSOUND_Stream_GetLengthMs(m_music);
        for (;; ++m_next, m_part = 0) {
            const double at = m_offsetMs + m_next * m_beatMs;
            if (at > fromMs + aheadMs || at >= lengthMs)
                break;
            for (; m_part < m_stack; ++m_part) {
                const auto slot = static_cast<size_t>((m_next * m_stack + m_part) %
                                                      static_cast<long>(m_clicks.size()));
                if (!m_engine.FSOUND_Stream_PlayAt(static_cast<int>(slot), m_clicks[slot], m_music,
                                                   at))
                    return;
                ++m_scheduled;
            }
        }
    }

    long scheduled() const { return m_scheduled; }

private:
    FMod& m_engine;
    StreamHandle m_music;
    double m_beatMs;
    double m_offsetMs;
    int m_stack;
    QByteArray m_clip;
    std::vector<StreamHandle> m_clicks;
    long m_next = -1;
    int m_part = 0;
    long m_scheduled = 0;
};

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "-h" || args[0] == "--help")) {
        std::fputs(PlayOptions::usage(), stdout);
        return 0;
    }
    std::string error;
    const auto options = PlayOptions::parse(args, &error);
    if (!options) {
        std::fprintf(stderr, "tavix-play: %s\n%s", error.c_str(), PlayOptions::usage());
        return 2;
    }
    initSoundsResources();

    FMod engine;
    if (!engine.FSOUND_Init(options->mixRate, 32, 0)) {
        std::fprintf(stderr, "tavix-play: %s\n", qPrintable(engine.lastError()));
        return 1;
    }
    const AudioDevice::Info device = engine.deviceInfo();
    std::printf("device: %s at %d Hz%s, %d frames a buffer (%.1f ms), latency %.0f frames%s\n",
                qPrintable(device.driver), device.rate,
                device.preferredRate ? " (its own rate)" : "", device.bufferFrames,
                device.bufferFrames * 1000.0 / device.rate, device.latencyFrames,
                device.frameCounter ? ", positions by frame count" : "");
    if (!engine.lastError().isEmpty())
        std::printf("note: %s\n", qPrintable(engine.lastError()));

    const StreamHandle music =
        engine.FSOUND_Stream_Open(options->file.c_str(), FSOUND_NORMAL, 0, 0);
    if (music == 0) {
        std::fprintf(stderr, "tavix-play: %s\n", qPrintable(engine.lastError()));
        return 1;
    }
    // The length is stated once decoding has told it, as the editor sizes the chart by it
    // then: a header may tell none (a cut-off Ogg) or more than the file holds.
    bool lengthStated = false;
    const auto stateLength = [&] {
        if (lengthStated || engine.decodeProgress(music) < 1.0)
            return;
        lengthStated = true;
        std::printf("length: %d ms (%lld frames at %d Hz)\n",
                    engine.FSOUND_Stream_GetLengthMs(music),
                    static_cast<long long>(engine.lengthFrames(music)), engine.mixRate());
    };
    stateLength();
    if (!lengthStated)
        std::printf("length: known once decoded\n");
    if (options->ratePercent != 100) {
        if (!engine.setPlaybackRate(music, options->ratePercent)) {
            std::fprintf(stderr, "tavix-play: %s\n", qPrintable(engine.lastError()));
            return 1;
        }
        std::printf("rate: %d%%, pitch kept\n", options->ratePercent);
    }

    std::optional<BeatClicks> clicks;
    if (options->bpm) {
        clicks.emplace(engine, music, *options->bpm, options->offsetMs, options->stack);
        if (!clicks->ready()) {
            std::fprintf(stderr, "tavix-play: the key sound is missing: %s\n",
                         qPrintable(engine.lastError()));
            return 1;
        }
    }

    // Written to a file faster than real time, the clicks are all scheduled at once.
    const double aheadMs = device.frameCounter ? 1e12 : 1000;
    engine.FSOUND_Stream_SetTime(music, static_cast<int32_t>(std::lround(options->startMs)));
    const double startMs = engine.FSOUND_Stream_GetTime(music);
    if (clicks)
        clicks->scheduleUntil(startMs, aheadMs);
    engine.FSOUND_Stream_Play(MusicChannel, music);

    const double stopMs = options->seconds ? startMs + *options->seconds * 1000 : 1e18;
    auto nextPrint = std::chrono::steady_clock::now();
    for (;;) {
        const double now = engine.streamTimeExact(music);
        const bool playing = engine.isPlaying(music);
        if (clicks)
            clicks->scheduleUntil(now, aheadMs);
        stateLength();
        if (std::chrono::steady_clock::now() >= nextPrint || !playing || now >= stopMs) {
            const QString length = engine.lengthFrames(music) >= 0
                                       ? QString::number(engine.FSOUND_Stream_GetLengthMs(music))
                                       : QStringLiteral("?");
            std::printf("%9.1f / %s ms  decoded %3.0f%%\n", now, qPrintable(length),
                        engine.decodeProgress(music) * 100);
            std::fflush(stdout);
            nextPrint += std::chrono::milliseconds(250);
        }
        if (!playing || now >= stopMs)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    engine.FSOUND_Stream_Stop(music);
    if (clicks)
        std::printf("clicks scheduled: %ld\n", clicks->scheduled());
    engine.FSOUND_Close();
    return 0;
}
