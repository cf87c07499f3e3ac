// Test play's judged errors: presses at known errors from their targets (-60 to +60 ms of
// what the player hears, at random) on a chart at 200 BPM, delivered as the X11 source
// delivers them (noticed at the next pass, stamped with their moment), with the music on
// the real engine's clock, at 60 and 15 passes a second and at half speed. Printed: the
// worst and the mean distance between the judged error and the true one.
#include "BenchSupport.h"
#include "ChartEdit.h"
#include "FMod.h"
#include "KE.h"
#include "KeP.h"
#include "KeyInput.h"
#include "TestPlayRun.h"
#include "TestPlayWiring.h"
#include "support/DiskCapture.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>

namespace tavix::bench {

using namespace tavix::test;
using Clock = std::chrono::steady_clock;

namespace {

struct TimedPress
{
    uint8_t code = 0;
    int32_t cell = 0;
    double songMs = 0; // the target's instant plus the true error, in song time
    double trueErrorMs = 0;
    bool planned = false;
    Clock::time_point when = Clock::time_point::max();
    bool taken = false;
};

class PlannedKeys : public KeySource
{
public:
    explicit PlannedKeys(std::shared_ptr<std::vector<TimedPress>> plan) : m_plan(std::move(plan)) {}
    void readState(std::array<uint8_t, 256>& state) override { state.fill(0); }
    std::vector<KeyPress> takePresses() override
    {
        const auto now = Clock::now();
        std::vector<KeyPress> out;
        for (TimedPress& p : *m_plan)
            if (!p.taken && p.when <= now) {
                p.taken = true;
                out.push_back({p.code, p.when});
            }
        return out;
    }

private:
    std::shared_ptr<std::vector<TimedPress>> m_plan;
};

} // namespace

static void BM_TestPlayJudgedError(benchmark::State& state)
{
    const double hz = double(state.range(0));
    const int percent = static_cast<int>(state.range(1));
    const int presses = static_cast<int>(state.range(2));
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.wav"));
    const double songSeconds = 8.0 + presses * 0.15;
    if (!writeMarkedSong(song, songSeconds)) {
        state.SkipWithError("cannot write the song");
        return;
    }
    setEnv("SDL_AUDIODRIVER", QStringLiteral("dummy"));
    for (auto _ : state) {
        auto plan = std::make_shared<std::vector<TimedPress>>();
        KeP kep;
        FMod engine;
        QuietServices quiet;
        KE window(kep,
                  quiet.over(engine, hz, [plan] { return std::make_unique<PlannedKeys>(plan); }));
        window.show();
        window.sBpm().setText(QStringLiteral("200"));
        if (!window.openMusicFile(song, QStringLiteral("song.wav"))) {
            state.SkipWithError("the song did not open");
            return;
        }
        const StreamHandle music = window.state().MusicStream;
        engine.waitDecoded(music);
        window.setPlaybackRate(percent);
        const uint8_t codes[6] = {0x47, 0x4B, 0x4F, 0x49, 0x4D, 0x51};
        for (int i = 0; i < presses; ++i)
            ChartEdit(kep).set(KeP::flatIndex(32 + 2 * i, 1 + i % 6), 1);
        window.testPlay().toggle();
        const CellTiming timing = window.session().timing();
        std::mt19937 random(99);
        std::uniform_real_distribution<double> error(-60.0, 60.0);
        for (int i = 0; i < presses; ++i) {
            TimedPress p;
            p.code = codes[i % 6];
            p.cell = 32 + 2 * i;
            p.trueErrorMs = error(random);
            p.songMs = double(*timing.firstMusicMs(p.cell)) + p.trueErrorMs * percent / 100.0;
            plan->push_back(p);
        }
        // Each press is timed from where the music stands a moment before it: read at a
        // moment a little past, which the clock has had later requests to place, and
        // carried on to now. The clock's reading of the very present can wait at the last
        // frame mixed while a request is late.
        const auto planAhead = [&] {
            const Clock::time_point now = Clock::now();
            constexpr double SettledMs = 30.0;
            const double songNow =
                engine.streamTimeAt(
                    music, now - std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double, std::milli>(SettledMs))) +
                SettledMs * percent / 100.0;
            for (TimedPress& p : *plan) {
                const double ahead = p.songMs - songNow;
                if (p.planned || ahead > 300.0)
                    continue;
                p.planned = true;
                p.when = now + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double, std::milli>(std::max(ahead, 0.0) *
                                                                             100.0 / percent));
            }
            return plan->back().planned && now > plan->back().when + std::chrono::milliseconds(300);
        };
        runEventsUntil(planAhead, int(songSeconds * 1000.0 * 100.0 / percent) + 20000);
        window.testPlay().toggle();
        runEventsUntil([&] { return window.testPlay().lastRun() != nullptr; }, 2000);

        std::map<int32_t, double> judged;
        if (const TestPlayRun* run = window.testPlay().lastRun())
            for (const JudgeEvent& e : run->events())
                if (e.judgement && *e.judgement != Judgement::Miss)
                    judged[e.cell] = e.errorMs;
        double worst = 0;
        double sum = 0;
        int matched = 0;
        for (const TimedPress& p : *plan) {
            const auto it = judged.find(p.cell);
            if (it == judged.end())
                continue;
            const double off = std::abs(it->second - p.trueErrorMs);
            worst = std::max(worst, off);
            sum += off;
            ++matched;
        }
        state.counters["presses"] = presses;
        state.counters["judged"] = matched;
        state.counters["worst_off_ms"] = worst;
        state.counters["mean_off_ms"] = matched ? sum / matched : 0.0;
        window.close();
    }
}
BENCHMARK(BM_TestPlayJudgedError)
    ->ArgNames({"hz", "rate_percent", "presses"})
    ->Args({60, 100, 334})
    ->Args({15, 100, 333})
    ->Args({60, 50, 333})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace tavix::bench
