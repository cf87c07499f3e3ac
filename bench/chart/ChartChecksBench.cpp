// The chart statistics and each chart check on a 10-minute chart at 200 BPM (8,000
// cells), with the song's levels every 10 ms; the whole set must stay well under 10 ms.
#include "ChartChecks.h"
#include "ChartEdit.h"
#include "ChartStats.h"
#include "KeP.h"
#include "NumberReading.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace tavix;

namespace {

constexpr double Bpm = 200.0;
constexpr double SongMs = 10 * 60 * 1000.0;

// About half the cells keyed, a chord in every sixth, Auto Space markers with a few
// strays, and a few foreign values: every check has something to walk.
const KeP& chart()
{
    static const KeP kep = [] {
        KeP k;
        k.setTempo(Bpm);
        ChartEdit edit(k);
        edit.fitToSong(int32_t(SongMs));
        std::mt19937 random(3);
        for (int32_t c = 0; c < k.TotalBeats; ++c) {
            if (random() % 2 == 0) {
                edit.set(KeP::flatIndex(c, int(1 + random() % 6)), 1);
                if (random() % 6 == 0)
                    edit.set(KeP::flatIndex(c, int(1 + random() % 6)), 1);
            }
            if (c % 32 == 0 || random() % 500 == 0)
                edit.set(KeP::flatIndex(c, 7), 1);
            if (random() % 1000 == 0)
                edit.set(KeP::flatIndex(c, int(1 + random() % 7)), 2);
        }
        return k;
    }();
    return kep;
}

// Loud, with a silent second every minute.
const std::vector<float>& peaks()
{
    static const std::vector<float> levels = [] {
        std::vector<float> p(size_t(SongMs / 10.0));
        std::mt19937 random(4);
        for (size_t i = 0; i < p.size(); ++i)
            p[i] = i % 6000 < 100 ? 0.001f : 0.2f + float(random() % 100) / 200.0f;
        return p;
    }();
    return levels;
}

CheckInput input()
{
    CheckInput in;
    in.timing = CellTiming::of(chart().BeatRate, offsetTerm(0.7));
    in.songLenMs = SongMs - 5000.0;
    in.levels = SongLevels{10.0, peaks()};
    return in;
}

void stats(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ChartStats::of(chart(), chart().BeatRate));
}

template <std::vector<CheckFinding> (*Check)(const KeP&, const CheckInput&)>
void check(benchmark::State& state)
{
    const CheckInput in = input();
    size_t found = 0;
    for (auto _ : state) {
        const auto f = Check(chart(), in);
        found = f.size();
        benchmark::DoNotOptimize(f.data());
    }
    state.counters["findings"] = double(found);
}

void oddValues(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ChartChecks::oddGridValues(chart()));
}

} // namespace

BENCHMARK(stats)->Name("ChartStats/8k_cells")->Unit(benchmark::kMicrosecond);
BENCHMARK(check<&ChartChecks::all>)->Name("AllChecks/8k_cells")->Unit(benchmark::kMicrosecond);
BENCHMARK(check<&ChartChecks::afterSongEnd>)
    ->Name("AfterSongEnd/8k_cells")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(check<&ChartChecks::beforeMusicStart>)
    ->Name("BeforeMusicStart/8k_cells")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(check<&ChartChecks::overSilence>)
    ->Name("OverSilence/8k_cells_60k_peaks")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(oddValues)->Name("OddGridValues/8k_cells")->Unit(benchmark::kMicrosecond);
BENCHMARK(check<&ChartChecks::markersOffPattern>)
    ->Name("MarkersOffPattern/8k_cells")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(check<&ChartChecks::tooDense>)->Name("TooDense/8k_cells")->Unit(benchmark::kMicrosecond);
BENCHMARK(check<&ChartChecks::quickRepeats>)
    ->Name("QuickRepeats/8k_cells")
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
