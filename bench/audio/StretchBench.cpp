// Slowed playback: the feeder thread's cost. A 30 s song of drums over a chord is
// stretched as the mixer would take it, and the process's CPU time over the stretched
// output's duration is printed as the share of one core that playing it in real time
// takes (the audio thread's part, copying floats out, is included and negligible).
#include "AudioBenchSupport.h"
#include "DecodedSound.h"
#include "StretchFeed.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <time.h>
#include <vector>

namespace {

using namespace tavix;

std::shared_ptr<DecodedSound> drumsOverAChord(int seconds)
{
    const int rate = 44100;
    const int64_t frames = int64_t{rate} * seconds;
    std::vector<int16_t> samples(static_cast<size_t>(2 * frames));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (int64_t f = 0; f < frames; ++f) {
        const double t = double(f) / rate;
        const double chord = 0.15 * (std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277.2 * t) +
                                     std::sin(2 * M_PI * 329.6 * t));
        const double sinceBeat = std::fmod(t, 0.5);
        const double drum = sinceBeat < 0.08 ? 0.5 * noise(random) * (1 - sinceBeat / 0.08) : 0.0;
        const auto v = static_cast<int16_t>(std::lround(12000 * (chord + drum)));
        samples[static_cast<size_t>(2 * f)] = v;
        samples[static_cast<size_t>(2 * f + 1)] = v;
    }
    auto sound = std::make_shared<DecodedSound>(2, rate, frames);
    sound->append(samples.data(), frames);
    sound->finish();
    return sound;
}

double processCpuSeconds()
{
    return tavix::bench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

void StretchCost(benchmark::State& state)
{
    const int percent = static_cast<int>(state.range(0));
    const auto song = drumsOverAChord(30);
    std::vector<float> block(2 * 512);
    for (auto _ : state) {
        StretchFeed feed(song, percent);
        const double cpuBefore = processCpuSeconds();
        feed.restart(0);
        int64_t out = 0;
        bool ended = false;
        while (!ended) {
            const int got = feed.mixInto(block.data(), 512, ended);
            out += got;
            if (got == 0 && !ended)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        const double cpu = processCpuSeconds() - cpuBefore;
        const double outSeconds = double(out) / 44100.0;
        state.counters["output_s"] = outSeconds;
        state.counters["core_percent_in_real_time"] = 100.0 * cpu / outSeconds;
    }
}
BENCHMARK(StretchCost)
    ->ArgName("rate_percent")
    ->Arg(75)
    ->Arg(50)
    ->Arg(25)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
