// How long the window thread's engine calls take while the mixer runs flat out on a thread
// of its own (printed as benchmark counters, never asserted):
//   worst_us               the slowest call of all
//   worst_unpreempted_us   the slowest call during which the machine did not take the core
//                          away from the calling thread (involuntary context switches), so
//                          what is left is the call's own work and any wait on the mixer
//   p999_us, mean_us       the 99.9th percentile and the mean of all calls
//   over_50us              calls that took longer than 50 us
// The calls are those the editor makes while playing: play, stop, seek, scheduled starts,
// cancel, and the position and state reads, in random order with a fixed seed.
#include "AudioBenchSupport.h"
#include "FMod.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace tavix;
using Clock = std::chrono::steady_clock;

std::string callBenchFile(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("tavix-bench-calls-" + name)).string();
}

bool writeNoise(const std::string& path, int channels, int64_t frames, int amplitude)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> dist(-amplitude, amplitude);
    std::vector<int16_t> samples(static_cast<size_t>(frames * channels));
    for (auto& s : samples)
        s = static_cast<int16_t>(dist(random));
    return tavix::bench::writeWav(path, channels, samples);
}

long involuntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nivcsw;
}

void EngineCallsWhileMixing(benchmark::State& state)
{
    const std::string musicPath = callBenchFile("music.wav");
    const std::string hitPath = callBenchFile("hit.wav");
    if (!writeNoise(musicPath, 2, int64_t{44100} * 60, 8000) ||
        !writeNoise(hitPath, 1, 4410, 4000)) {
        state.SkipWithError("cannot write the sounds");
        return;
    }
    std::ifstream in(hitPath, std::ios::binary);
    const std::vector<char> hit{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};

    std::vector<double> all;
    all.reserve(4000000);
    double worstUnpreempted = 0;
    int64_t blocks = 0;
    for (auto _ : state) {
        FMod engine(FMod::Options{AudioDevice::Kind::Manual, 256});
        engine.FSOUND_Init(44100, 32, 0);
        const StreamHandle music =
            engine.FSOUND_Stream_Open(musicPath.c_str(), FSOUND_NORMAL, 0, 0);
        engine.waitDecoded(music);
        std::vector<StreamHandle> hits;
        hits.reserve(16);
        for (int i = 0; i < 16; ++i)
            hits.push_back(engine.FSOUND_Stream_Open(hit.data(), FSOUND_MEMORY_MODE, 0,
                                                     static_cast<int>(hit.size())));
        engine.FSOUND_Stream_Play(MusicChannel, music);

        // The mixer: one block after another, as fast as it can, on a thread of its own.
        std::atomic<bool> stop{false};
        std::atomic<int64_t> mixed{0};
        std::thread mixer([&] {
            while (!stop.load(std::memory_order_relaxed)) {
                engine.advance(256);
                mixed.fetch_add(1, std::memory_order_relaxed);
            }
        });
        while (mixed.load() < 10)
            std::this_thread::yield();

        std::mt19937 random(99);
        std::uniform_int_distribution<int> pick(0, 99);
        std::uniform_int_distribution<int> ms(0, 59000);
        int slot = 0;
        const auto until = Clock::now() + std::chrono::seconds(3);
        while (Clock::now() < until) {
            const int op = pick(random);
            const int target = ms(random);
            const long switches = involuntarySwitches();
            const auto begin = Clock::now();
            if (op < 3) {
                engine.FSOUND_Stream_Stop(music);
                engine.FSOUND_Stream_Play(MusicChannel, music);
            } else if (op < 8) {
                engine.FSOUND_Stream_SetTime(music, target);
            } else if (op < 30) {
                const double at = engine.streamTimeExact(music) + 50 + target % 400;
                engine.FSOUND_Stream_PlayAt(slot, hits[static_cast<size_t>(slot)], music, at);
                slot = (slot + 1) % 15;
            } else if (op < 33) {
                engine.FSOUND_Stream_CancelScheduled(music);
            } else if (op < 60) {
                benchmark::DoNotOptimize(engine.FSOUND_Stream_GetTime(music));
            } else if (op < 80) {
                benchmark::DoNotOptimize(
                    engine.streamTimeAt(music, begin - std::chrono::milliseconds(target % 30)));
            } else {
                benchmark::DoNotOptimize(engine.isPlaying(music));
            }
            const double us =
                std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
            all.push_back(us);
            if (involuntarySwitches() == switches)
                worstUnpreempted = std::max(worstUnpreempted, us);
        }
        stop.store(true);
        mixer.join();
        blocks = mixed.load();
        engine.FSOUND_Close();
    }
    std::sort(all.begin(), all.end());
    double sum = 0;
    for (double us : all)
        sum += us;
    const auto over = std::count_if(all.begin(), all.end(), [](double us) { return us > 50.0; });
    state.counters["calls"] = static_cast<double>(all.size());
    state.counters["mixer_blocks"] = static_cast<double>(blocks);
    state.counters["mean_us"] = sum / static_cast<double>(all.size());
    state.counters["p999_us"] = all[all.size() * 999 / 1000];
    state.counters["worst_us"] = all.back();
    state.counters["worst_unpreempted_us"] = worstUnpreempted;
    state.counters["over_50us"] = static_cast<double>(over);
    std::remove(musicPath.c_str());
    std::remove(hitPath.c_str());
}
BENCHMARK(EngineCallsWhileMixing)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
