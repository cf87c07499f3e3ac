// Start-up to a shown window: the engine, the window with its start-up sequence (sixteen
// clip streams, the keyboard) and its first exposure on screen.
#include "BenchSupport.h"
#include "FMod.h"
#include "KE.h"
#include "KeP.h"

#include <QElapsedTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

namespace tavix::bench {

static void BM_StartupToShownWindow(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        setEnv("SDL_AUDIODRIVER", QStringLiteral("dummy"));
    std::vector<double> times;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        KeP kep;
        FMod engine;
        NoChooser chooser;
        NoClipboard clipboard;
        StderrMessages messages;
        EditorServices services(engine, chooser, clipboard, messages);
        services.quit = [] {};
        KE window(kep, std::move(services));
        window.show();
        runEventsUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); },
                       5000);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
        times.push_back(ms);
        window.close();
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["max_ms"] = times.back();
}
BENCHMARK(BM_StartupToShownWindow)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

} // namespace tavix::bench
