// A full frame of the key display: 33 cells with all seven rows set, a drag rectangle
// over part of them (outline drawn, keys dimmed and counted) and the cursor; the same
// frame with the song's waveform and the beat and measure lines behind the keys, and
// zoomed out to 8 pixels a cell.
#include "ChartEdit.h"
#include "KeP.h"
#include "KeyDisplayHost.h"
#include "TavixKey.h"
#include "WaveformPeaks.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

namespace {

class BenchHost : public tavix::KeyDisplayHost
{
public:
    tavix::DragState drag{100, 20, 600, 380, true, true};
    const tavix::DragState& dragState() const override { return drag; }
    void setTimeSetValue(int32_t) override {}
    bool fitChart(int32_t) override { return false; }
};

class BenchSurface : public tavix::CanvasSurface
{
public:
    QSize surfaceSize() const override { return {974, 435}; }
    void present(const QImage& frame) override { benchmark::DoNotOptimize(frame.constBits()); }
};

struct Scene
{
    tavix::KeP kep;
    BenchHost host;
    BenchSurface surface;
    tavix::TavixKey key{kep, host};

    Scene()
    {
        kep.setTempo(100.0);
        tavix::ChartEdit edit(kep);
        edit.resizeCells(200);
        for (int c = 0; c < 200; ++c)
            for (int r = 1; r <= 7; ++r)
                edit.set(tavix::KeP::flatIndex(c, r), 1);
        key.Initialise(surface, kep.TotalBeats);
    }
};

void FullFrame(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state)
        scene.key.Render(20, 2300, false);
    state.counters["quads"] = double(scene.key.lastFrame().size());
    state.counters["selected"] = double(scene.key.SelectedKeys);
}
BENCHMARK(FullFrame)->Unit(benchmark::kMicrosecond)->Repetitions(15)->ReportAggregatesOnly(true);

// The worst waveform: a minute of loud noise, so nearly every column spans most of the
// band's height.
std::shared_ptr<tavix::WaveformPeaks> loudSong()
{
    const int64_t frames = int64_t{44100} * 60;
    std::vector<int16_t> samples(size_t(frames * 2));
    std::mt19937 random(11);
    std::uniform_int_distribution<int> level(-30000, 30000);
    for (int16_t& s : samples)
        s = int16_t(level(random));
    auto peaks = std::make_shared<tavix::WaveformPeaks>(2, 44100, frames);
    peaks->add(samples.data(), frames);
    peaks->finish();
    return peaks;
}

void FullFrameWithWaveformAndLines(benchmark::State& state)
{
    Scene scene;
    scene.key.setGuides({true, loudSong(), 28.0});
    for (auto _ : state)
        scene.key.Render(20, 2300, false);
    state.counters["quads"] = double(scene.key.lastFrame().size());
    state.counters["selected"] = double(scene.key.SelectedKeys);
}
BENCHMARK(FullFrameWithWaveformAndLines)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// Zoomed out to 8 pixels a cell: 129 cells with all seven rows set, the waveform, the
// lines and the rectangle, against the same frame at 32 (FullFrameWithWaveformAndLines).
void FrameAtEightPixelsWithWaveformAndLines(benchmark::State& state)
{
    Scene scene;
    scene.key.setGuides({true, loudSong(), 28.0});
    scene.key.setCellWidth(8);
    for (auto _ : state)
        scene.key.Render(20, 2300, false);
    int64_t cells = 0;
    for (const tavix::Quad& q : scene.key.lastFrame())
        cells += q.texture == tavix::Texture::Key7;
    state.counters["quads"] = double(scene.key.lastFrame().size());
    state.counters["cells"] = double(cells);
    state.counters["selected"] = double(scene.key.SelectedKeys);
}
BENCHMARK(FrameAtEightPixelsWithWaveformAndLines)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// The floor of every frame: clearing, the two bands and presenting, with nothing on them.
void FullFrameNoKeysOnlyBands(benchmark::State& state)
{
    Scene scene;
    tavix::ChartEdit(scene.kep).replaceGrid(std::vector<uint8_t>(scene.kep.KeyGrid.size(), 0));
    scene.host.drag = {};
    for (auto _ : state)
        scene.key.Render(20, -1, false);
}
BENCHMARK(FullFrameNoKeysOnlyBands)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
