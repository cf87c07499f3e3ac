// Mirror, flip, a shift by a beat and a delete of a whole 1,000,000-cell chart with keys in
// every cell, each one step of the history, and the undo and redo of that step (figures
// printed, never asserted).
#include "CellRange.h"
#include "ChartEdit.h"
#include "ChartHistory.h"
#include "KeP.h"
#include "KeyTransforms.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>

#include <time.h>

namespace tavix::bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t BigChart = 1'000'000;

// One to five keys in every cell, a confirm marker every two measures.
std::vector<uint8_t> keyedGrid(int32_t cells)
{
    std::vector<uint8_t> grid(KeP::gridSize(cells), 0);
    std::mt19937 random(7);
    for (int32_t c = 0; c < cells; ++c) {
        for (int k = 1 + int(random() % 5); k > 0; --k)
            grid[size_t(KeP::flatIndex(c, 1 + int(random() % 6)))] = 1;
        if (c % 32 == 0)
            grid[size_t(KeP::flatIndex(c, 7))] = 1;
    }
    return grid;
}

// Wall time and the thread's own processor time: on a shared machine the second tells the
// work from the waiting.
struct Stopwatch
{
    Clock::time_point wall = Clock::now();
    double cpu = cpuMs();

    static double cpuMs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }
    double wallMs() const
    {
        return std::chrono::duration<double, std::milli>(Clock::now() - wall).count();
    }
    double cpuSpentMs() const { return cpuMs() - cpu; }
};

struct Worst
{
    double wall = 0, cpu = 0;
    void add(const Stopwatch& s)
    {
        wall = std::max(wall, s.wallMs());
        cpu = std::max(cpu, s.cpuSpentMs());
    }
};

enum class Action { Mirror, Flip, ShiftLater, Delete };

void wholeChart(benchmark::State& state, Action action)
{
    KeP kep;
    // The last beat stays empty, so the shift by a beat is not refused.
    std::vector<uint8_t> grid = keyedGrid(BigChart);
    std::fill(grid.end() - 4 * 7, grid.end(), 0);
    ChartEdit(kep).replaceGrid(std::move(grid));
    ChartHistory history(kep);
    const CellRange all{0, BigChart - 1};
    Worst made, undone, redone;
    uint32_t changed = 0;
    for (auto _ : state) {
        Stopwatch t;
        ChartEdit edit(kep);
        switch (action) {
        case Action::Mirror:
            KeyTransforms::reflect(edit, all, KeyTransforms::Reflection::Mirror);
            break;
        case Action::Flip:
            KeyTransforms::reflect(edit, all, KeyTransforms::Reflection::Flip);
            break;
        case Action::ShiftLater:
            KeyTransforms::shift(edit, all, 4);
            break;
        case Action::Delete:
            KeyTransforms::clear(edit, all);
            break;
        }
        ChartChange change = edit.take();
        changed = change.elementCount();
        history.record(QStringLiteral("Transform"), std::move(change));
        made.add(t);
        t = Stopwatch();
        history.undo();
        undone.add(t);
        t = Stopwatch();
        history.redo();
        redone.add(t);
        // Back to the chart it began with for the next round, outside the timing.
        state.PauseTiming();
        history.undo();
        state.ResumeTiming();
    }
    state.counters["do_ms_max"] = made.wall;
    state.counters["do_cpu_ms_max"] = made.cpu;
    state.counters["undo_ms_max"] = undone.wall;
    state.counters["undo_cpu_ms_max"] = undone.cpu;
    state.counters["redo_ms_max"] = redone.wall;
    state.counters["redo_cpu_ms_max"] = redone.cpu;
    state.counters["changed_elements"] = changed;
}

} // namespace

BENCHMARK_CAPTURE(wholeChart, mirror, Action::Mirror)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(wholeChart, flip, Action::Flip)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(wholeChart, shift_a_beat_later, Action::ShiftLater)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(wholeChart, delete, Action::Delete)
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

} // namespace tavix::bench
