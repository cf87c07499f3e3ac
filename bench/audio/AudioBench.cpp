// Figures of the sound engine, printed as benchmark counters (never asserted):
//   HitPlacement     scheduled onsets found in the disk driver's capture: worst error, frames
//   PositionReadout  listener position against the device's true position over 10 s
//   OutputLatency    the device buffer and latency the engine gets by default
//   MixerCost        music + 16 effect voices: ns per frame and share of one core
//   Resample4Min     libsamplerate alone on 4 minutes of 48 kHz stereo to 44.1 kHz, by converter
//   DecodeOgg4Min    a 4-minute Ogg song: open, playable, fully decoded; memory per minute
//   Peaks10Min       waveform peaks of a 10-minute song as the decoder hands its samples
//                    over: time on the decoding thread, memory against the samples
// (EngineCallBench.cpp: the window thread's calls while the mixer runs flat out;
//  StretchBench.cpp: slowed playback's share of one core.)
#include "AudioBenchSupport.h"
#include "AudioTime.h"
#include "FMod.h"
#include "Mixer.h"
#include "WaveformPeaks.h"

#include <benchmark/benchmark.h>
#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using tavix::bench::writeWav;

using namespace tavix;
using Clock = std::chrono::steady_clock;

std::string benchFile(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("tavix-bench-" + name)).string();
}

std::vector<char> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool waitFor(const std::function<bool()>& done, std::chrono::seconds limit)
{
    const auto until = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// ---- Hit placement ---------------------------------------------------------------------

void HitPlacement(benchmark::State& state)
{
    const int onsets = 1000;
    const std::string capture = benchFile("capture.raw");
    const std::string musicPath = benchFile("placement-music.wav");
    const std::string hitPath = benchFile("placement-hit.wav");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);

    // Onsets 60..140 ms apart at fractional milliseconds.
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> gap(60.0, 140.0);
    std::vector<double> times;
    double t = 50;
    for (int i = 0; i < onsets; ++i, t += gap(random))
        times.push_back(t);
    const int64_t musicFrames = framesFromMs(t + 500, 44100);
    // A quiet square wave whose first sample marks the music's start in the capture.
    std::vector<int16_t> music(static_cast<size_t>(2 * musicFrames));
    for (int64_t f = 0; f < musicFrames; ++f)
        music[static_cast<size_t>(2 * f)] = music[static_cast<size_t>(2 * f + 1)] =
            (f / 100) % 2 ? -200 : 200;
    std::vector<int16_t> hit;
    for (int i = 0; i < 30; ++i)
        hit.push_back(static_cast<int16_t>(9000 - 250 * i));
    writeWav(musicPath, 2, music);
    writeWav(hitPath, 1, hit);
    const auto hitBytes = readAll(hitPath);

    int64_t worst = 0;
    int found = 0;
    for (auto _ : state) {
        FMod engine;
        engine.FSOUND_Init(44100, 32, 0);
        const StreamHandle song = engine.FSOUND_Stream_Open(musicPath.c_str(), FSOUND_NORMAL, 0, 0);
        std::vector<StreamHandle> keys;
        for (int i = 0; i < 16; ++i)
            keys.push_back(engine.FSOUND_Stream_Open(hitBytes.data(), FSOUND_MEMORY_MODE, 0,
                                                     static_cast<int>(hitBytes.size())));
        engine.waitDecoded(song);
        for (int i = 0; i < onsets; ++i)
            engine.FSOUND_Stream_PlayAt(i % 16, keys[static_cast<size_t>(i % 16)], song,
                                        times[static_cast<size_t>(i)]);
        engine.FSOUND_Stream_Play(MusicChannel, song);
        waitFor([&] { return !engine.isPlaying(song); }, std::chrono::seconds(120));
        engine.FSOUND_Close();
    }
    const auto bytes = readAll(capture);
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    int64_t start = 0;
    while (2 * start < static_cast<int64_t>(out.size()) && out[static_cast<size_t>(2 * start)] == 0)
        ++start;
    int64_t from = 0;
    for (double ms : times) {
        const int64_t expected = framesFromMs(ms, 44100);
        int64_t f = from;
        while (f < musicFrames &&
               out[static_cast<size_t>(2 * (start + f))] == music[static_cast<size_t>(2 * f)])
            ++f;
        if (f >= musicFrames)
            break;
        ++found;
        worst = std::max(worst, std::abs(f - expected));
        from = f + static_cast<int64_t>(hit.size());
    }
    std::remove(capture.c_str());
    state.counters["onsets"] = onsets;
    state.counters["found"] = found;
    state.counters["worst_error_frames"] = static_cast<double>(worst);
}
BENCHMARK(HitPlacement)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Position readout --------------------------------------------------------------------

struct Callback
{
    Clock::time_point when;
    int64_t framesBefore;
};

// Arg 0: SDL's disk driver writing in real time (SDL_DISKAUDIODELAY=5, its own thread and
// callback); arg 1: the engine's own timer, used when there is no sound card.
void PositionReadout(benchmark::State& state)
{
    const bool timer = state.range(0) == 1;
    const std::string capture = benchFile("readout.raw");
    const std::string musicPath = benchFile("readout-music.wav");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "5", 1);
    writeWav(musicPath, 2, std::vector<int16_t>(static_cast<size_t>(2 * 44100 * 13), 0));

    std::vector<Callback> callbacks;
    callbacks.reserve(200000);
    struct Reading
    {
        Clock::time_point when;
        double heard;
        double songMs;
    };
    std::vector<Reading> readings;
    readings.reserve(200000);
    AudioDevice::Info info;
    for (auto _ : state) {
        std::atomic<bool> record{false};
        FMod::Options options;
        options.output = timer ? AudioDevice::Kind::Timer : AudioDevice::Kind::Sdl;
        // Kept within the reserved size: nothing is allocated on the audio thread.
        options.observer = [&callbacks, &record](Clock::time_point when, int64_t before, int) {
            if (record.load(std::memory_order_acquire) && callbacks.size() < callbacks.capacity())
                callbacks.push_back({when, before});
        };
        FMod engine(std::move(options));
        engine.FSOUND_Init(44100, 32, 0);
        info = engine.deviceInfo();
        const StreamHandle song = engine.FSOUND_Stream_Open(musicPath.c_str(), FSOUND_NORMAL, 0, 0);
        engine.waitDecoded(song);
        record.store(true, std::memory_order_release);
        engine.FSOUND_Stream_Play(MusicChannel, song);
        const auto begin = Clock::now();
        while (Clock::now() - begin < std::chrono::seconds(10)) {
            const auto now = Clock::now();
            const double songMs = engine.streamTimeExact(song);
            const double heard = engine.listenerFrameAt(now);
            readings.push_back({now, heard, songMs});
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        engine.FSOUND_Close(); // the audio thread has ended: `callbacks` is this thread's again
        record.store(false, std::memory_order_relaxed);
    }
    std::remove(capture.c_str());
    // The device's true position: a straight line through all its requests (it consumes
    // frames at a constant rate; the requests jitter about that line), less the latency.
    const Clock::time_point origin = callbacks.front().when;
    auto seconds = [origin](Clock::time_point t) {
        return std::chrono::duration<double>(t - origin).count();
    };
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Callback& c : callbacks) {
        const double x = seconds(c.when);
        const auto y = static_cast<double>(c.framesBefore);
        sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    const auto n = static_cast<double>(callbacks.size());
    // How regular the requests themselves were.
    double worstGap = 0, gapSum = 0, gapSq = 0;
    for (size_t i = 1; i < callbacks.size(); ++i) {
        const double gap = seconds(callbacks[i].when) - seconds(callbacks[i - 1].when);
        worstGap = std::max(worstGap, gap);
        gapSum += gap;
        gapSq += gap * gap;
    }
    const double gaps = n - 1;
    const double gapMean = gapSum / gaps;
    const double rate = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double offset = (sy - rate * sx) / n;
    // A device without a clock of its own (a file written with delays) wanders with the
    // machine's load, so it is also measured against its own requests nearby: a straight
    // line through those within 100 ms either side.
    auto localTruth = [&](double x) {
        double lx = 0, ly = 0, lxx = 0, lxy = 0;
        int m = 0;
        for (const Callback& c : callbacks) {
            const double cx = seconds(c.when);
            if (cx < x - 0.1 || cx > x + 0.1)
                continue;
            const auto cy = static_cast<double>(c.framesBefore);
            lx += cx, ly += cy, lxx += cx * cx, lxy += cx * cy, ++m;
        }
        const double r = m > 2 ? (m * lxy - lx * ly) / (m * lxx - lx * lx) : rate;
        return (ly - r * lx) / std::max(m, 1) + r * x - info.latencyFrames;
    };
    double worstLocal = 0, sumLocal = 0, sumSqLocal = 0;
    double worst = 0, sum = 0, sumSq = 0, worstAll = 0, worstRaw = 0;
    int count = 0;
    double lastSong = -1;
    bool monotone = true;
    size_t k = 0;
    for (const Reading& r : readings) {
        const double truth = offset + rate * seconds(r.when) - info.latencyFrames;
        const double errorMs = (r.heard - truth) * 1000.0 / 44100.0;
        worstAll = std::max(worstAll, std::abs(errorMs));
        // For comparison: reading the frame counter of the last request, no filtering.
        while (k + 1 < callbacks.size() && callbacks[k + 1].when <= r.when)
            ++k;
        const double raw = static_cast<double>(callbacks[k].framesBefore) - info.latencyFrames;
        if (r.songMs < lastSong)
            monotone = false;
        lastSong = r.songMs;
        if (seconds(r.when) < 1.0)
            continue; // the clock locks on during the first second
        worstRaw = std::max(worstRaw, std::abs(raw - truth) * 1000.0 / 44100.0);
        worst = std::max(worst, std::abs(errorMs));
        const double localMs = (r.heard - localTruth(seconds(r.when))) * 1000.0 / 44100.0;
        worstLocal = std::max(worstLocal, std::abs(localMs));
        sumLocal += localMs;
        sumSqLocal += localMs * localMs;
        sum += errorMs;
        sumSq += errorMs * errorMs;
        ++count;
    }
    const double mean = sum / count;
    state.SetLabel((timer ? "timer" : info.driver.toStdString()) + ", " +
                   std::to_string(info.bufferFrames) + " frames");
    state.counters["readings"] = count;
    state.counters["worst_ms"] = worst;
    state.counters["stddev_ms"] = std::sqrt(std::max(0.0, sumSq / count - mean * mean));
    state.counters["mean_ms"] = mean;
    const double meanLocal = sumLocal / count;
    state.counters["local_worst_ms"] = worstLocal;
    state.counters["local_stddev_ms"] =
        std::sqrt(std::max(0.0, sumSqLocal / count - meanLocal * meanLocal));
    state.counters["worst_first_s_ms"] = worstAll;
    state.counters["raw_counter_worst_ms"] = worstRaw;
    state.counters["device_rate_hz"] = rate;
    state.counters["monotone"] = monotone ? 1 : 0;
    state.counters["request_gap_ms"] = gapMean * 1000;
    state.counters["request_gap_sd_ms"] =
        std::sqrt(std::max(0.0, gapSq / gaps - gapMean * gapMean)) * 1000;
    state.counters["request_gap_worst_ms"] = worstGap * 1000;
}
BENCHMARK(PositionReadout)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- Output latency ------------------------------------------------------------------------

// Arg 0: whatever this machine gives (the environment's driver, else SDL's choice, else the
// silent timer); arg 1: an SDL device that takes any buffer (the disk driver).
void OutputLatency(benchmark::State& state)
{
    const char* saved = std::getenv("SDL_AUDIODRIVER");
    const std::string keep = saved ? saved : "";
    if (state.range(0) == 1) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        setenv("SDL_DISKAUDIODELAY", "5", 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
    AudioDevice::Info info;
    for (auto _ : state) {
        FMod engine;
        engine.FSOUND_Init(44100, 32, 0);
        info = engine.deviceInfo();
        engine.FSOUND_Close();
    }
    if (saved)
        setenv("SDL_AUDIODRIVER", keep.c_str(), 1);
    state.SetLabel(info.driver.toStdString());
    state.counters["buffer_frames"] = info.bufferFrames;
    state.counters["buffer_ms"] = info.bufferFrames * 1000.0 / info.rate;
    state.counters["latency_frames"] = info.latencyFrames;
    state.counters["latency_ms"] = info.latencyFrames * 1000.0 / info.rate;
}
BENCHMARK(OutputLatency)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- Mixer cost ----------------------------------------------------------------------------

std::shared_ptr<DecodedSound> noiseSound(int64_t frames, int channels, int amplitude, int seed)
{
    std::mt19937 random(static_cast<uint32_t>(seed));
    std::uniform_int_distribution<int> dist(-amplitude, amplitude);
    std::vector<int16_t> samples(static_cast<size_t>(frames * channels));
    for (auto& s : samples)
        s = static_cast<int16_t>(dist(random));
    auto sound = std::make_shared<DecodedSound>(channels, 44100, frames);
    sound->append(samples.data(), frames);
    sound->finish();
    return sound;
}

double threadCpuSeconds()
{
    return tavix::bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

void MixerCost(benchmark::State& state)
{
    constexpr int block = 256;
    Mixer mixer(32);
    Mixer::Stream music(noiseSound(44100 * 60, 2, 8000, 1));
    std::vector<std::unique_ptr<Mixer::Stream>> hits;
    mixer.addStream(music);
    for (int i = 0; i < 16; ++i) {
        hits.push_back(std::make_unique<Mixer::Stream>(noiseSound(44100 * 5, 1, 2000, i + 2)));
        mixer.addStream(*hits.back());
    }
    std::vector<int16_t> out(2 * block);
    int64_t frames = 0;
    int active = 0;
    double cpu = 0;
    for (auto _ : state) {
        // Keep every voice sounding: restart whatever has ended.
        if (music.timeline().channel < 0)
            mixer.play(16, music);
        for (int i = 0; i < 16; ++i)
            if (hits[static_cast<size_t>(i)]->timeline().channel < 0)
                mixer.play(i, *hits[static_cast<size_t>(i)]);
        active = music.timeline().channel >= 0 ? 1 : 0;
        for (const auto& hit : hits)
            active += hit->timeline().channel >= 0 ? 1 : 0;
        const double before = threadCpuSeconds();
        mixer.render(out.data(), block);
        cpu += threadCpuSeconds() - before;
        benchmark::DoNotOptimize(out.data());
        frames += block;
    }
    state.SetItemsProcessed(frames);
    // CPU time of this thread alone, so other work on the machine does not count.
    const double nsPerFrame = cpu * 1e9 / static_cast<double>(frames);
    state.counters["voices"] = active;
    state.counters["ns_per_frame"] = nsPerFrame;
    state.counters["core_percent_at_44k1"] = nsPerFrame * 44100 / 1e9 * 100;
    state.counters["core_percent_at_48k"] = nsPerFrame * 48000 / 1e9 * 100;
}
BENCHMARK(MixerCost)->Unit(benchmark::kMicrosecond);

// ---- Resampling ------------------------------------------------------------------------------

// Arg: the libsamplerate converter (0 best sinc, 1 medium sinc, 2 fastest sinc). The CPU time
// of converting 4 minutes of 48 kHz stereo to 44.1 kHz, in the decoder's pieces.
void Resample4Min(benchmark::State& state)
{
    const int converter = static_cast<int>(state.range(0));
    constexpr long piece = 16384;
    constexpr int64_t songFrames = 48000LL * 240;
    const double ratio = 44100.0 / 48000.0;
    std::mt19937 random(9);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> in(static_cast<size_t>(2 * piece));
    for (auto& s : in)
        s = dist(random);
    std::vector<float> out(static_cast<size_t>(2 * (piece + 64)));
    double cpu = 0;
    for (auto _ : state) {
        int error = 0;
        SRC_STATE* src = src_new(converter, 2, &error);
        const double before = threadCpuSeconds();
        for (int64_t done = 0; done < songFrames; done += piece) {
            SRC_DATA job{};
            job.data_in = in.data();
            job.input_frames = piece;
            job.src_ratio = ratio;
            while (job.input_frames > 0) {
                job.data_out = out.data();
                job.output_frames = piece + 64;
                src_process(src, &job);
                job.data_in += job.input_frames_used * 2;
                job.input_frames -= job.input_frames_used;
            }
        }
        cpu = threadCpuSeconds() - before;
        src_delete(src);
    }
    state.SetLabel(src_get_name(converter));
    state.counters["cpu_ms"] = cpu * 1000;
    state.counters["times_real_time"] = 240.0 / cpu;
}
BENCHMARK(Resample4Min)->Arg(2)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- Decoding a 4-minute song ----------------------------------------------------------------

// Arg: the song's sample rate (48000 is resampled on the way).
void DecodeOgg4Min(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0));
    const std::string path = benchFile("4min-" + std::to_string(rate) + ".ogg");
    if (!std::filesystem::exists(path)) {
        // The demo song four times over, made by SoX.
        const std::string demo = std::string(TAVIX_SOURCE_DIR) + "/resources/sounds/demo.ogg";
        const std::string command = "sox -R '" + demo + "' -r " + std::to_string(rate) + " '" +
                                    path + "' repeat 3 2>/dev/null";
        if (std::system(command.c_str()) != 0 || !std::filesystem::exists(path)) {
            state.SkipWithError("sox could not make the 4-minute song");
            return;
        }
    }
    double openMs = 0, playableMs = 0, fullMs = 0, lengthMs = 0, bytes = 0;
    for (auto _ : state) {
        FMod engine(FMod::Options{AudioDevice::Kind::Manual, 256});
        engine.FSOUND_Init(44100, 32, 0);
        const auto begin = Clock::now();
        const StreamHandle h = engine.FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL, 0, 0);
        const auto opened = Clock::now();
        if (h == 0) {
            state.SkipWithError("open failed");
            return;
        }
        // Playable: the first 100 ms are decoded, so a start does not wait.
        engine.FSOUND_Stream_Play(MusicChannel, h);
        const double songMs = engine.FSOUND_Stream_GetLengthMs(h);
        waitFor([&] { return engine.decodeProgress(h) * songMs >= 100; }, std::chrono::seconds(30));
        const auto playable = Clock::now();
        engine.waitDecoded(h);
        const auto full = Clock::now();
        openMs = std::chrono::duration<double, std::milli>(opened - begin).count();
        playableMs = std::chrono::duration<double, std::milli>(playable - begin).count();
        fullMs = std::chrono::duration<double, std::milli>(full - begin).count();
        lengthMs = engine.FSOUND_Stream_GetLengthMs(h);
        bytes = static_cast<double>(engine.memoryBytes(h));
        engine.FSOUND_Close();
    }
    state.counters["song_s"] = lengthMs / 1000;
    state.counters["open_ms"] = openMs;
    state.counters["playable_ms"] = playableMs;
    state.counters["decoded_ms"] = fullMs;
    state.counters["MB_per_minute"] = bytes / (1024.0 * 1024.0) / (lengthMs / 60000.0);
}
BENCHMARK(DecodeOgg4Min)
    ->Arg(44100)
    ->Arg(48000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- Waveform peaks of a 10-minute song ---------------------------------------------------

// Arg: channels. Music-like samples: a beat of decaying tones over noise, fed in the
// pieces the decoder stores (4096 frames).
void Peaks10Min(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    const int64_t frames = 44100LL * 600;
    std::vector<int16_t> song(static_cast<size_t>(frames * channels));
    std::mt19937 random(5);
    std::uniform_int_distribution<int> hiss(-1500, 1500);
    for (int64_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f % 26460) / 44100.0; // 100 BPM
        const double tone = 20000.0 * std::exp(-t * 8.0) * std::sin(2 * M_PI * 60.0 * t);
        for (int c = 0; c < channels; ++c)
            song[static_cast<size_t>(f * channels + c)] = static_cast<int16_t>(tone + hiss(random));
    }
    double bytes = 0;
    for (auto _ : state) {
        WaveformPeaks peaks(channels, 44100, frames);
        for (int64_t f = 0; f < frames; f += 4096)
            peaks.add(song.data() + f * channels, std::min<int64_t>(4096, frames - f));
        peaks.finish();
        benchmark::DoNotOptimize(peaks.blocks(0));
        bytes = static_cast<double>(peaks.memoryBytes());
    }
    const double sampleBytes = static_cast<double>(song.size() * sizeof(int16_t));
    state.counters["peaks_KiB"] = bytes / 1024.0;
    state.counters["share_of_samples_pct"] = 100.0 * bytes / sampleBytes;
}
BENCHMARK(Peaks10Min)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
