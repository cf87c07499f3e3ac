// Hit-sound onsets through the disk driver: a 60 s song at 180 BPM with every cell keyed,
// played by the editor at a given frame rate; every key sound found in the output is
// compared with the frame at which its cell is due.
#include "BenchSupport.h"
#include "CellTiming.h"
#include "ChartEdit.h"
#include "FMod.h"
#include "KE.h"
#include "KeP.h"
#include "support/DiskCapture.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

namespace tavix::bench {

using namespace tavix::test;

static void BM_HitSoundOnsets(benchmark::State& state)
{
    const double hz = double(state.range(0));
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("marked.wav"));
    const QString audio = dir.filePath(QStringLiteral("out.raw"));
    if (!writeMarkedSong(song, 60.0)) {
        state.SkipWithError("cannot write the song");
        return;
    }
    // The disk driver in real time: it sleeps a whole number of ms per buffer, so the
    // buffer is exactly 10 ms.
    setEnv("SDL_AUDIODRIVER", QStringLiteral("disk"));
    setEnv("SDL_DISKAUDIOFILE", audio);
    setEnv("SDL_DISKAUDIODELAY", QStringLiteral("10"));
    setEnv("TAVIX_AUDIO_BUFFER", QStringLiteral("441"));

    for (auto _ : state) {
        CellTiming timing;
        int32_t total = 0;
        {
            KeP kep;
            FMod engine;
            NoChooser chooser;
            NoClipboard clipboard;
            StderrMessages messages;
            EditorServices services(engine, chooser, clipboard, messages);
            services.frameHz = hz;
            services.quit = [] {};
            KE window(kep, std::move(services));
            window.show();
            window.sBpm().setText(QStringLiteral("180"));
            if (!window.openMusicFile(song, QStringLiteral("marked.wav"))) {
                state.SkipWithError("the song did not open");
                return;
            }
            for (int32_t c = 0; c < kep.TotalBeats; ++c)
                ChartEdit(kep).set(KeP::flatIndex(c, 1 + c % 6), 1);
            timing = CellTiming::of(kep.BeatRate, window.state().OffsetVal);
            total = kep.TotalBeats;
            const StreamHandle music = window.state().MusicStream;
            window.buttonClick(0);
            runEventsUntil([&] { return !window.state().IsPlaying; }, 75000);
            runEventsUntil([&] { return !engine.isPlaying(music); }, 3000);
            window.close();
        }
        const Capture capture = loadCapture(audio);
        const std::vector<int64_t> marks = findMarks(capture);
        if (marks.size() != 1) {
            state.SkipWithError("the music start was not found in the output");
            return;
        }
        const int64_t songStart = marks[0] - MarkFrame;
        const std::vector<int64_t> onsets = findOnsets(capture);
        int64_t worst = 0;
        double sumAbs = 0;
        int heard = 0;
        int missing = 0;
        const int32_t first = std::max(timing.soundingCell(0), 0);
        for (int32_t c = first; c < total; ++c) {
            // The cell under the start sounds with the music's first frame.
            const int64_t dueMs = std::max<int64_t>(*timing.firstMusicMs(c), 0);
            const int64_t due = songStart + std::llround(double(dueMs) * CaptureRate / 1000.0);
            const int64_t at = nearestOnset(onsets, due);
            if (at < 0 || std::llabs(at - due) > CaptureRate / 50) {
                std::fprintf(stderr, "cell %d: not heard (nearest onset %+lld frames)\n", c,
                             (long long)(at - due));
                ++missing;
                continue;
            }
            ++heard;
            if (std::llabs(at - due) > 2)
                std::fprintf(stderr, "cell %d: %+lld frames\n", c, (long long)(at - due));
            worst = std::max<int64_t>(worst, std::llabs(at - due));
            sumAbs += double(std::llabs(at - due));
        }
        state.counters["cells"] = double(total - first);
        state.counters["heard"] = heard;
        state.counters["missing"] = missing;
        state.counters["extra_onsets"] = double(int64_t(onsets.size()) - heard);
        state.counters["worst_error_frames"] = double(worst);
        state.counters["mean_abs_error_frames"] = heard ? sumAbs / heard : 0.0;
    }
}
BENCHMARK(BM_HitSoundOnsets)
    ->ArgName("hz")
    ->Arg(60)
    ->Arg(15)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace tavix::bench
