// The chart's history: undo and redo of Random Key on a 1,000,000-cell chart with keys in
// every cell, what the history holds for 10,000 toggles and for one Random Key, and the
// longest playback frame while a 1,000,000-cell chart is autosaved (figures printed,
// never asserted).
#include "Autosave.h"
#include "BenchSupport.h"
#include "ChartEdit.h"
#include "ChartHistory.h"
#include "FMod.h"
#include "KE.h"
#include "KeP.h"
#include "KeyInput.h"
#include "NativeChartWriter.h"
#include "RandomKeys.h"
#include "support/DiskCapture.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>

namespace tavix::bench {

using namespace tavix::test;
using Clock = std::chrono::steady_clock;

namespace {

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

double msSince(Clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// A bare step, to tell Qt's own cost of a step from what the chart's steps add to it.
class EmptyStep : public QUndoCommand
{
public:
    void undo() override {}
    void redo() override {}
};

// Stands in for the keyboard: the window reads it once every playback pass, so the
// moments of the reads are the moments of the frames.
class FrameClock : public KeySource
{
public:
    explicit FrameClock(std::shared_ptr<std::vector<Clock::time_point>> frames)
        : m_frames(std::move(frames))
    {
    }
    void readState(std::array<uint8_t, 256>& state) override
    {
        m_frames->push_back(Clock::now());
        state.fill(0);
    }
    std::vector<KeyPress> takePresses() override { return {}; }

private:
    std::shared_ptr<std::vector<Clock::time_point>> m_frames;
};

// The times between frames, longest last.
std::vector<double> frameGapsMs(const std::vector<Clock::time_point>& frames)
{
    std::vector<double> gaps;
    for (size_t i = 1; i < frames.size(); ++i)
        gaps.push_back(
            std::chrono::duration<double, std::milli>(frames[i] - frames[i - 1]).count());
    std::sort(gaps.begin(), gaps.end());
    return gaps;
}

void reportFrames(benchmark::State& state, const std::string& phase,
                  const std::vector<double>& gaps)
{
    if (gaps.empty())
        return;
    state.counters["frames_" + phase] = double(gaps.size() + 1);
    state.counters["longest_frame_ms_" + phase] = gaps.back();
    state.counters["p99_frame_ms_" + phase] = gaps[gaps.size() * 99 / 100];
    state.counters["frames_over_20ms_" + phase] =
        double(gaps.end() - std::upper_bound(gaps.begin(), gaps.end(), 20.0));
}

} // namespace

static void BM_UndoRedoRandomKey(benchmark::State& state)
{
    KeP kep;
    ChartEdit(kep).replaceGrid(keyedGrid(BigChart));
    ChartHistory history(kep);
    RandomKeys random;
    ChartEdit edit(kep);
    const auto t0 = Clock::now();
    random.apply(edit);
    ChartChange change = edit.take();
    const double applyMs = msSince(t0);
    const uint32_t changed = change.elementCount();
    const size_t recordBytes = change.memoryBytes();
    history.record(QStringLiteral("Random Key"), std::move(change));

    double worstUndo = 0, worstRedo = 0, sumUndo = 0, sumRedo = 0;
    int rounds = 0;
    for (auto _ : state) {
        auto t = Clock::now();
        history.undo();
        const double undoMs = msSince(t);
        t = Clock::now();
        history.redo();
        const double redoMs = msSince(t);
        worstUndo = std::max(worstUndo, undoMs);
        worstRedo = std::max(worstRedo, redoMs);
        sumUndo += undoMs;
        sumRedo += redoMs;
        ++rounds;
    }
    state.counters["random_key_ms"] = applyMs;
    state.counters["undo_ms_mean"] = sumUndo / rounds;
    state.counters["undo_ms_max"] = worstUndo;
    state.counters["redo_ms_mean"] = sumRedo / rounds;
    state.counters["redo_ms_max"] = worstRedo;
    state.counters["changed_elements"] = changed;
    state.counters["record_bytes"] = double(recordBytes);
    // The changed elements are a byte each.
    state.counters["record_per_changed_byte"] = double(recordBytes) / double(changed);
}
BENCHMARK(BM_UndoRedoRandomKey)->Iterations(20)->Unit(benchmark::kMillisecond);

static void BM_HistoryOfTenThousandToggles(benchmark::State& state)
{
    for (auto _ : state) {
        KeP kep;
        ChartEdit(kep).resizeCells(10'000);
        ChartHistory history(kep);
        std::mt19937 random(3);
        const size_t before = heapInUse();
        for (int i = 0; i < 10'000; ++i) {
            ChartEdit edit(kep);
            edit.toggle(KeP::flatIndex(int64_t(random() % 10'000), 1 + int(random() % 7)));
            history.record(QStringLiteral("Toggle"), edit.take());
        }
        const size_t withSteps = heapInUse() - before;

        QUndoStack bare;
        const size_t beforeBare = heapInUse();
        for (int i = 0; i < 10'000; ++i)
            bare.push(new EmptyStep);
        const size_t bareSteps = heapInUse() - beforeBare;

        state.counters["steps"] = history.stack().count();
        state.counters["history_heap_bytes"] = double(withSteps);
        state.counters["qt_bare_steps_heap_bytes"] = double(bareSteps);
        state.counters["record_bytes"] = double(history.recordBytes());
    }
}
BENCHMARK(BM_HistoryOfTenThousandToggles)->Iterations(1)->Unit(benchmark::kMillisecond);

// Plays a song for a few seconds with a 1,000,000-cell chart loaded, first as it is,
// then with the chart written to its recovery file again and again, and compares the
// longest time between two playback frames.
static void BM_AutosaveWhilePlaying(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.wav"));
    const QString chart = dir.filePath(QStringLiteral("big.zts"));
    if (!writeMarkedSong(song, 40.0) ||
        !NativeChartWriter::writeGrid(keyedGrid(BigChart), chart).ok()) {
        state.SkipWithError("cannot write the song or the chart");
        return;
    }
    setEnv("SDL_AUDIODRIVER", QStringLiteral("dummy"));

    for (auto _ : state) {
        auto frames = std::make_shared<std::vector<Clock::time_point>>();
        KeP kep;
        FMod engine;
        NoChooser chooser;
        NoClipboard clipboard;
        StderrMessages messages;
        EditorServices services(engine, chooser, clipboard, messages);
        services.frameHz = 60;
        services.quit = [] {};
        services.keySource = [frames] { return std::make_unique<FrameClock>(frames); };
        services.recoveryDir = dir.filePath(QStringLiteral("recovery"));
        services.autosaveIntervalMs = 1;
        KE window(kep, std::move(services));
        window.show();
        if (!window.openMusicFile(song, QStringLiteral("song.wav")) ||
            !window.openChartFile(chart, QStringLiteral("big.zts")) || kep.TotalBeats != BigChart) {
            state.SkipWithError("the song or the chart did not open");
            return;
        }
        Autosave& autosave = *window.autosave();
        const auto play = [&](int seconds) {
            frames->clear();
            window.buttonClick(0);
            const auto until = Clock::now() + std::chrono::seconds(seconds);
            runEventsUntil([&] { return Clock::now() > until; }, seconds * 1000 + 5000);
            window.buttonClick(1);
            return frameGapsMs(*frames);
        };

        const std::vector<double> quiet = play(5);

        // A change every 250 ms, each written 1 ms later: twenty writes where use makes
        // one in 30 s.
        QTimer changes;
        QObject::connect(&changes, &QTimer::timeout, [&] { autosave.chartChanged(true); });
        changes.start(250);
        const int writesBefore = autosave.writes();
        const std::vector<double> saving = play(5);
        changes.stop();
        runEventsUntil([&] { return !autosave.writing(); }, 10000);

        // What the window's thread spends on each write: the copy of the grid.
        auto t = Clock::now();
        const std::vector<uint8_t> copy = kep.KeyGrid.bytes();
        const double copyMs = msSince(t);
        benchmark::DoNotOptimize(copy.data());
        // And what a write would cost it, were it made there.
        t = Clock::now();
        autosave.writeNow();
        const double writeMs = msSince(t);

        reportFrames(state, "quiet", quiet);
        reportFrames(state, "autosaving", saving);
        state.counters["autosaves_while_playing"] = autosave.writes() - writesBefore;
        state.counters["grid_copy_ms"] = copyMs;
        state.counters["write_on_window_thread_ms"] = writeMs;
        autosave.discard();
    }
}
BENCHMARK(BM_AutosaveWhilePlaying)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace tavix::bench
