// Recording accuracy: 100 keypad presses at known chart positions at 180 BPM, delivered
// the way the X11 source delivers them (the press noticed at the next pass, stamped with
// its moment), with the music on the real engine's clock, at full speed and slowed down.
// Each press is timed from where the music stands a moment before it (a few hundred ms of
// song), so a device that loses time now and then (SDL's dummy driver on a busy machine)
// does not carry its losses into every later press.
#include "BenchSupport.h"
#include "FMod.h"
#include "KE.h"
#include "KeP.h"
#include "KeyInput.h"
#include "Rounding.h"
#include "support/DiskCapture.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <mutex>
#include <random>

namespace tavix::bench {

using namespace tavix::test;
using Clock = std::chrono::steady_clock;

namespace {

struct PlannedPress
{
    uint8_t code = 0;
    int row = 0;
    int32_t cell = 0; // where the press belongs
    double chartMs = 0;
    bool planned = false;
    Clock::time_point when = Clock::time_point::max();
    Clock::time_point takenAt; // when the editor's pass noticed it
    bool taken = false;
};

struct Plan
{
    std::vector<PlannedPress> presses;
};

// Keys go down at their planned moments and stay down for 40 ms.
class ScriptedKeys : public KeySource
{
public:
    explicit ScriptedKeys(std::shared_ptr<Plan> plan) : m_plan(std::move(plan)) {}

    void readState(std::array<uint8_t, 256>& state) override
    {
        const auto now = Clock::now();
        state.fill(0);
        for (const PlannedPress& p : m_plan->presses)
            if (now >= p.when && now < p.when + std::chrono::milliseconds(40))
                state[p.code] = 0x80;
    }

    std::vector<KeyPress> takePresses() override
    {
        const auto now = Clock::now();
        std::vector<KeyPress> out;
        for (PlannedPress& p : m_plan->presses)
            if (!p.taken && p.when <= now) {
                p.taken = true;
                p.takenAt = now;
                out.push_back({p.code, p.when});
            }
        return out;
    }

private:
    std::shared_ptr<Plan> m_plan;
};

} // namespace

static void BM_RecordingAccuracy(benchmark::State& state)
{
    const double hz = double(state.range(0));
    const int percent = static_cast<int>(state.range(1));
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.wav"));
    if (!writeMarkedSong(song, 40.0)) {
        state.SkipWithError("cannot write the song");
        return;
    }
    setEnv("SDL_AUDIODRIVER", QStringLiteral("dummy"));

    for (auto _ : state) {
        auto plan = std::make_shared<Plan>();
        KeP kep;
        FMod engine;
        QuietServices quiet;
        KE window(kep,
                  quiet.over(engine, hz, [plan] { return std::make_unique<ScriptedKeys>(plan); }));
        window.show();
        window.sBpm().setText(QStringLiteral("180"));
        if (!window.openMusicFile(song, QStringLiteral("song.wav"))) {
            state.SkipWithError("the song did not open");
            return;
        }
        const StreamHandle music = window.state().MusicStream;
        window.setPlaybackRate(percent);
        window.buttonClick(0);
        // The plan starts once the music runs.
        runEventsUntil([&] { return engine.streamTimeExact(music) > 500.0; }, 5000);
        const double lead = window.LeadMs();
        const double rate = double(kep.BeatRate);

        const uint8_t codes[6] = {0x47, 0x4B, 0x4F, 0x49, 0x4D, 0x51};
        std::mt19937 random(1234);
        std::uniform_real_distribution<double> within(-0.35, 0.35);
        for (int i = 0; i < 100; ++i) {
            PlannedPress p;
            p.row = 1 + i % 6;
            p.code = codes[i % 6];
            p.cell = 20 + 3 * i;
            p.chartMs = (double(p.cell) + 0.5 + within(random)) / rate;
            plan->presses.push_back(p);
        }
        // Presses within 300 ms of song are timed from where the music stands now.
        const auto planAhead = [&] {
            const Clock::time_point now = Clock::now();
            const double songNow = engine.streamTimeAt(music, now);
            for (PlannedPress& p : plan->presses) {
                const double songAhead = p.chartMs - lead - songNow;
                if (p.planned || songAhead > 300.0)
                    continue;
                p.planned = true;
                p.when = now + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double, std::milli>(
                                       std::max(songAhead, 0.0) * 100.0 / percent));
            }
            const PlannedPress& last = plan->presses.back();
            return last.planned && now > last.when + std::chrono::milliseconds(300);
        };
        runEventsUntil(planAhead, 120000);
        window.buttonClick(1);

        int right = 0;
        int passCellRight = 0;
        int setKeys = 0;
        for (int32_t c = 0; c < kep.TotalBeats; ++c)
            for (int r = 1; r <= 7; ++r)
                setKeys += kep.at(c, r) != 0;
        for (const PlannedPress& p : plan->presses) {
            right += kep.isSet(p.cell, p.row);
            // The cell of the pass that noticed the press, had it been used.
            const double noticedMs =
                p.chartMs - lead +
                std::chrono::duration<double, std::milli>(p.takenAt - p.when).count() * percent /
                    100.0;
            const int32_t passCell = kep.MsToBeatHalf(nearestInt32(lead + noticedMs));
            passCellRight += passCell == p.cell;
        }
        state.counters["presses"] = 100;
        state.counters["right_cell"] = right;
        state.counters["keys_set"] = setKeys;
        state.counters["if_pass_cell_used"] = passCellRight;
        window.close();
    }
}
BENCHMARK(BM_RecordingAccuracy)
    ->ArgNames({"hz", "rate_percent"})
    ->Args({60, 100})
    ->Args({15, 100})
    ->Args({60, 50})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace tavix::bench
