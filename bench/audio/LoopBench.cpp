// The loop's jump: a 100 ms range of noise looped 100 times through the mixer, rendered in
// the device's blocks, and the output compared with the range's frames pass after pass.
// Printed: frames lost or doubled at the jumps (0 is seamless) and the output's mismatches.
// Slowed to half, where the stretcher makes the frames, the jumps are looked at for gaps:
// runs of silence in music that has none.
#include "DecodedSound.h"
#include "Mixer.h"
#include "StretchFeed.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace tavix;

constexpr int64_t LoopFrom = 44100;
constexpr int64_t LoopFrames = 4410; // 100 ms
constexpr int Passes = 100;

std::shared_ptr<DecodedSound> noiseSong(std::vector<int16_t>& samples)
{
    const int64_t frames = 44100 * 3;
    samples.assign(static_cast<size_t>(2 * frames), 0);
    std::mt19937 random(11);
    std::uniform_int_distribution<int> level(-12000, 12000);
    for (auto& s : samples)
        s = static_cast<int16_t>(level(random) | 1); // never 0: silence is a gap
    auto sound = std::make_shared<DecodedSound>(2, 44100, frames);
    sound->append(samples.data(), frames);
    sound->finish();
    return sound;
}

void LoopJump(benchmark::State& state)
{
    const int percent = static_cast<int>(state.range(0));
    std::vector<int16_t> source;
    const auto song = noiseSong(source);
    std::vector<int16_t> out;
    for (auto _ : state) {
        Mixer mixer(32, 44100);
        Mixer::Stream music(song);
        mixer.addStream(music);
        std::unique_ptr<StretchFeed> feed;
        if (percent != 100) {
            feed = std::make_unique<StretchFeed>(song, percent);
            mixer.setStretch(music, feed.get());
        }
        mixer.setLoop(music, LoopFrom, LoopFrom + LoopFrames);
        mixer.seek(music, LoopFrom);
        mixer.play(16, music);
        const int64_t frames = LoopFrames * Passes * 100 / percent;
        out.assign(static_cast<size_t>(2 * frames), 0);
        int64_t done = 0;
        while (done < frames) {
            const int n = static_cast<int>(std::min<int64_t>(512, frames - done));
            if (feed && mixer.waitingForData(n)) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            mixer.render(out.data() + 2 * done, n);
            done += n;
        }
        int64_t mismatches = 0;
        int64_t silentRuns = 0;
        for (int64_t o = 0; o < frames; ++o) {
            const size_t at = static_cast<size_t>(2 * o);
            if (percent == 100) {
                const int64_t f = LoopFrom + o % LoopFrames;
                const auto from = static_cast<size_t>(2 * f);
                mismatches += out[at] != source[from] || out[at + 1] != source[from + 1];
            } else if (o > 0 && out[at] == 0 && out[at - 2] == 0) {
                ++silentRuns;
            }
        }
        state.counters["passes"] = Passes;
        state.counters["frames_out_of_place"] = double(mismatches);
        state.counters["silent_frame_pairs"] = double(silentRuns);
        state.counters["loop_time_frames"] = double(
            mixer.mixFrame() == frames ? music.timeline().pos + music.timeline().loopBase : -1);
        mixer.removeStream(music);
    }
}
BENCHMARK(LoopJump)->ArgName("rate_percent")->Arg(100)->Arg(50)->Iterations(1);

} // namespace
