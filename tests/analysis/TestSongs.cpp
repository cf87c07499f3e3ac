#include "TestSongs.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavix::test {

namespace {

constexpr double Pi = std::numbers::pi;

// A one-shot sound, rendered once and mixed in wherever it plays.
using Clip = std::vector<double>;

// White noise from a small generator: the songs must be quick to make.
class Hiss
{
public:
    explicit Hiss(uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    double next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return double(int32_t(m_state)) / 2147483648.0;
    }

private:
    uint32_t m_state;
};

template <typename F> Clip render(int rate, double seconds, F sample)
{
    Clip clip(size_t(seconds * rate));
    for (size_t i = 0; i < clip.size(); ++i)
        clip[i] = sample(double(i) / rate);
    return clip;
}

Clip kick(int rate)
{
    return render(rate, 0.35, [](double t) {
        // A falling sine, 150 Hz down to 50 Hz: its phase is the integral of the frequency.
        const double phase = 2 * Pi * (50 * t + 100 * 0.03 * (1 - std::exp(-t / 0.03)));
        return std::sin(phase) * std::exp(-t / 0.12) * std::min(1.0, t / 0.0005);
    });
}

Clip snare(int rate, Hiss& hiss)
{
    double previous = 0;
    return render(rate, 0.25, [&](double t) {
        const double h = hiss.next();
        const double bright = h - 0.6 * previous; // tilted toward the highs
        previous = h;
        return (0.55 * bright * std::exp(-t / 0.07) +
                0.45 * std::sin(2 * Pi * 190 * t) * std::exp(-t / 0.05)) *
               std::min(1.0, t / 0.0005);
    });
}

Clip hat(int rate, Hiss& hiss)
{
    double previous = 0;
    return render(rate, 0.06, [&](double t) {
        const double h = hiss.next();
        const double bright = h - previous; // high-passed
        previous = h;
        return 0.5 * bright * std::exp(-t / 0.015);
    });
}

struct Mix
{
    std::vector<double> left;
    std::vector<double> right;
    int rate;

    // The clip starting at `ms`, rounded to the nearest sample.
    void add(const Clip& clip, double ms, double gain, double pan)
    {
        const auto start = int64_t(std::llround(ms * rate / 1000.0));
        const auto end = std::min<int64_t>(start + int64_t(clip.size()), int64_t(left.size()));
        for (int64_t i = std::max<int64_t>(start, 0); i < end; ++i) {
            left[size_t(i)] += gain * (1.0 - pan) * clip[size_t(i - start)];
            right[size_t(i)] += gain * (1.0 + pan) * clip[size_t(i - start)];
        }
    }
};

// Slow-swelling chords that change every two bars, over the whole song.
void chords(Mix& m, double barMs)
{
    static const double roots[] = {220.0, 174.6, 196.0, 164.8};
    const double chordSeconds = 2 * barMs / 1000.0;
    for (size_t i = 0; i < m.left.size(); ++i) {
        const double t = double(i) / m.rate;
        const auto k = size_t(t / chordSeconds);
        const double root = roots[k % 4];
        const double inChord = t - double(k) * chordSeconds;
        const double swell = std::min({1.0, inChord / 0.4, (chordSeconds - inChord) / 0.2});
        const double v = 0.05 * swell *
                         (std::sin(2 * Pi * root * t) + 0.8 * std::sin(2 * Pi * root * 1.26 * t) +
                          0.6 * std::sin(2 * Pi * root * 1.5 * t));
        m.left[i] += 0.9 * v;
        m.right[i] += 1.1 * v;
    }
}

std::vector<int16_t> toInt16(const Mix& m, double noise, Hiss& hiss)
{
    std::vector<int16_t> out(m.left.size() * 2);
    for (size_t i = 0; i < m.left.size(); ++i) {
        const double l = m.left[i] + noise * hiss.next();
        const double r = m.right[i] + noise * hiss.next();
        out[2 * i] = int16_t(std::clamp(std::lround(l * 32767), -32768L, 32767L));
        out[2 * i + 1] = int16_t(std::clamp(std::lround(r * 32767), -32768L, 32767L));
    }
    return out;
}

} // namespace

std::vector<int16_t> makeSong(const SongPlan& plan)
{
    const auto frames = size_t(plan.seconds * plan.rate);
    Mix m{std::vector<double>(frames), std::vector<double>(frames), plan.rate};
    Hiss hiss(plan.seed);
    const Clip kickClip = kick(plan.rate);
    const Clip snareClips[] = {snare(plan.rate, hiss), snare(plan.rate, hiss)};
    const Clip hatClips[] = {hat(plan.rate, hiss), hat(plan.rate, hiss), hat(plan.rate, hiss)};
    const double beat = 60000.0 / plan.bpm;
    const double endMs = plan.seconds * 1000.0;

    chords(m, 4 * beat);
    if (plan.irregular) {
        for (double at = plan.firstBeatMs; at < endMs; at += 150.0 + 650.0 * (hiss.next() + 1) / 2)
            m.add(hiss.next() > 0 ? kickClip : snareClips[0], at, 0.6, 0.0);
        return toInt16(m, plan.noise, hiss);
    }
    const double lateEighth = plan.swing ? 2.0 / 3.0 : 0.5;
    for (int n = 0;; ++n) {
        const double at = plan.firstBeatMs + n * beat;
        if (at >= endMs)
            break;
        const int inBar = n % 4;
        if (inBar == 0 || inBar == 2)
            m.add(kickClip, at, 0.7, 0.0);
        else
            m.add(snareClips[n % 2], at, 0.45, -0.2);
        m.add(hatClips[n % 3], at, 0.18, 0.3);
        m.add(hatClips[(n + 1) % 3], at + lateEighth * beat, 0.12, 0.3);
        if (plan.syncopated) {
            if (inBar == 1)
                m.add(kickClip, at + lateEighth * beat, 0.55, 0.0);
            if (inBar == 3)
                m.add(snareClips[0], at + 0.75 * beat, 0.15, -0.2);
        }
    }
    return toInt16(m, plan.noise, hiss);
}

std::vector<SongPlan> generatedSongs()
{
    return {
        {"straight 120", 120.0, 250.0, 30.0, false, false, 0.0, 1},
        {"odd tempo 97.63", 97.63, 37.0, 30.0, false, false, 0.0, 2},
        {"fast 174.5", 174.5, 301.0, 30.0, false, false, 0.0, 3},
        {"swing 133.33", 133.33, 412.0, 30.0, true, false, 0.0, 4},
        {"syncopated 143.21", 143.21, 88.0, 30.0, false, true, 0.0, 5},
        {"noisy 110.4", 110.4, 150.0, 30.0, false, false, 0.08, 6},
        {"quiet intro 128", 128.0, 7311.0, 36.0, false, true, 0.02, 7},
        {"slow 78.9", 78.9, 690.0, 36.0, true, false, 0.0, 8},
        {"swing, noise, intro 201.7", 201.7, 4003.0, 32.0, true, true, 0.05, 9},
    };
}

} // namespace tavix::test
