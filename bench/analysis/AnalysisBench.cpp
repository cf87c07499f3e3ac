// Figures of tempo detection, printed (never asserted):
//   first a table of the generated songs the tests use (and a few more): the tempo and first
//   beat found against the true ones (tools/realmusic measures real songs beside other
//   tools);
//   Detect4MinSong   time to detect a 4-minute song, and the peak memory while doing it
//                    against the decoded song's size.
#include "OnsetExtractor.h"
#include "SampleSource.h"
#include "TempoDetector.h"
#include "TestSongs.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

using namespace tavix;

double offBeatMs(double ms, double firstBeatMs, double periodMs)
{
    return std::remainder(ms - firstBeatMs, periodMs);
}

void printTable()
{
    std::vector<test::SongPlan> songs = test::generatedSongs();
    songs.push_back({"70, resolved to 140", 70.0, 123.0, 24.0});
    songs.push_back({"240 swing, resolved to 120", 240.0, 77.0, 24.0, true});
    std::printf("%-28s %8s %8s %7s %9s %8s %7s\n", "song", "true bpm", "found", "error", "1st beat",
                "found", "ms off");
    for (const test::SongPlan& plan : songs) {
        const std::vector<int16_t> song = test::makeSong(plan);
        const SampleSource samples(std::span<const int16_t>(song), 2, plan.rate);
        const OnsetFeatures features = *OnsetExtractor::run(samples, {}, {});
        const TempoResult r = TempoDetector::fromFeatures(features, {});
        // The beat level the detector settled on, to compare like with like.
        const double level = r.found() ? std::round(std::log2(r.bpm / plan.bpm)) : 0.0;
        const double expected = plan.bpm * std::exp2(level);
        const double period = 60000.0 / std::max(plan.bpm, expected);
        std::printf("%-28s %8.2f %8.2f %+7.3f %9.1f %8.1f %+7.2f   confidence %.2f\n",
                    plan.name.c_str(), expected, r.bpm, r.bpm - expected,
                    std::fmod(plan.firstBeatMs, 60000.0 / expected), r.firstBeatMs,
                    offBeatMs(r.firstBeatMs, plan.firstBeatMs, period), r.confidence);
    }
    std::printf("\n");
    std::fflush(stdout);
}

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM"), 0 if unreadable.
double statusKb(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::atof(line.c_str() + key.size() + 1);
    return 0.0;
}

// Resets the peak resident size to the present one, after handing the heap's free pages
// back so that what the detection takes shows; false where the kernel refuses.
bool resetPeak()
{
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

void Detect4MinSong(benchmark::State& state)
{
    static const std::vector<int16_t> song =
        test::makeSong({"4 minutes", 128.0, 250.0, 240.0, false, true, 0.02});
    const SampleSource samples(std::span<const int16_t>(song), 2, 44100);
    const double songMb = double(song.size() * sizeof(int16_t)) / (1024.0 * 1024.0);
    double extraMb = -1.0;
    TempoResult r;
    for (auto _ : state) {
        const bool peakKnown = resetPeak();
        const double before = statusKb("VmRSS");
        r = *TempoDetector::detect(samples);
        if (peakKnown)
            extraMb = std::max(extraMb, (statusKb("VmHWM") - before) / 1024.0);
    }
    state.counters["song_MB"] = songMb;
    state.counters["detection_MB"] = extraMb;
    state.counters["peak_x_song"] = extraMb >= 0.0 ? (songMb + extraMb) / songMb : -1.0;
    state.counters["bpm"] = r.bpm;
    state.counters["confidence"] = r.confidence;
}
BENCHMARK(Detect4MinSong)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    printTable();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
