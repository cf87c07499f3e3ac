#include "TempoDetector.h"

#include "BeatGridFit.h"
#include "IntervalScoring.h"
#include "OnsetAlignment.h"
#include "OnsetExtractor.h"
#include "SampleSource.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

// A rise of the compressed energy this large is an attack, not the flutter of a steady
// sound (a step of 0.5 is about 4 dB above what went just before).
constexpr double AttackRise = 0.5;
// Attacks closer than this are one attack.
constexpr double AttackGapMs = 30.0;
// How far an attack's time may be off: about a block either way.
constexpr double AttackBlurMs = 2.0;

struct Attacks
{
    std::vector<double> timesMs;
    std::vector<double> strengths;
};

// The attacks of the whole song: the highest points of the energy-rise curve that stand
// above AttackRise, each the highest within AttackGapMs either side. An attack is placed
// in the middle of its block: it starts somewhere in it.
Attacks attacksOf(const std::vector<float>& fine, double hopMs)
{
    Attacks a;
    const auto gap = int64_t(std::ceil(AttackGapMs / hopMs));
    const auto n = int64_t(fine.size());
    for (int64_t j = 0; j < n; ++j) {
        if (fine[size_t(j)] < AttackRise)
            continue;
        bool highest = true;
        for (int64_t k = std::max<int64_t>(0, j - gap); k <= std::min(n - 1, j + gap) && highest;
             ++k)
            highest =
                fine[size_t(k)] < fine[size_t(j)] || (fine[size_t(k)] == fine[size_t(j)] && k >= j);
        if (highest) {
            a.timesMs.push_back((double(j) + 0.5) * hopMs);
            a.strengths.push_back(fine[size_t(j)]);
        }
    }
    return a;
}

// Each tracked beat moved onto the strongest attack within reach of it; beats with no
// attack near them are left out, as nothing heard marks them.
std::vector<double> snapToAttacks(const std::vector<double>& beats, const Attacks& attacks,
                                  double reachMs)
{
    std::vector<double> snapped;
    snapped.reserve(beats.size());
    for (double t : beats) {
        auto it = std::lower_bound(attacks.timesMs.begin(), attacks.timesMs.end(), t - reachMs);
        double best = -1.0;
        double bestStrength = 0.0;
        for (; it != attacks.timesMs.end() && *it <= t + reachMs; ++it) {
            const double s = attacks.strengths[size_t(it - attacks.timesMs.begin())];
            if (s > bestStrength) {
                bestStrength = s;
                best = *it;
            }
        }
        if (best >= 0.0)
            snapped.push_back(best);
    }
    return snapped;
}

double medianInterval(const std::vector<double>& beats)
{
    std::vector<double> intervals;
    for (size_t i = 1; i < beats.size(); ++i)
        intervals.push_back(beats[i] - beats[i - 1]);
    if (intervals.empty())
        return 0.0;
    const auto mid = intervals.begin() + std::ptrdiff_t(intervals.size() / 2);
    std::nth_element(intervals.begin(), mid, intervals.end());
    return *mid;
}

// How many of the beats could lie on a grid of the period: one per grid beat over their
// span, and no more than there are.
double expectedOnGrid(const std::vector<double>& beats, double period)
{
    if (beats.size() < 2)
        return double(beats.size());
    return std::min(double(beats.size()), (beats.back() - beats.front()) / period + 1.0);
}

// How strong the attacks half-way between the beats are against those on them, 0..1.
double halfBeatRatio(const OnsetAlignment& fold, double period, double phase)
{
    const double on = fold.strengthAt(fold.peakNear(phase, period / 10.0));
    const double off = fold.strengthAt(fold.peakNear(phase + period / 2.0, period / 10.0));
    const double high = std::max(on, off);
    return high > 0.0 ? std::min(on, off) / high : 0.0;
}

// Attacks half-way between the beats nearly as strong as those on them mean the beats are
// really twice as fast (a kick and a snare taking turns, say), where a weaker off-beat
// (hi-hats, a syncopation) leaves them as they are. Both curves must agree: the spectral
// flux weighs loud and soft attacks as the ear does, the energy rise counts each attack
// alike whatever its timbre.
bool halfBeatsAsStrong(const OnsetFeatures& f, const Attacks& attacks, double period, double phase)
{
    const double coarse =
        halfBeatRatio(OnsetAlignment(f.strength, f.strengthHopMs, period), period, phase);
    const double fine = halfBeatRatio(
        OnsetAlignment(attacks.timesMs, attacks.strengths, period, AttackBlurMs), period, phase);
    return std::sqrt(coarse * fine) >= 0.5;
}

// Doubled or halved into the range, or as near it as octaves allow.
double intoRange(double bpm, const TempoOptions& range)
{
    const auto octavesOut = [&](double b) {
        return std::max({0.0, std::log2(range.minBpm / b), std::log2(b / range.maxBpm)});
    };
    while (octavesOut(bpm * 2.0) < octavesOut(bpm))
        bpm *= 2.0;
    while (octavesOut(bpm / 2.0) < octavesOut(bpm))
        bpm /= 2.0;
    return bpm;
}

} // namespace

std::optional<TempoResult> TempoDetector::detect(const SampleSource& samples,
                                                 const TempoOptions& options,
                                                 const std::stop_token& stop,
                                                 const Progress& progress)
{
    // The pass over the samples is most of the work; the fit is the last tenth.
    const auto features = OnsetExtractor::run(samples, stop, [&](double done) {
        if (progress)
            progress(0.9 * done);
    });
    if (!features || stop.stop_requested())
        return std::nullopt;
    TempoResult result = fromFeatures(*features, options);
    if (progress)
        progress(1.0);
    return result;
}

TempoResult TempoDetector::fromFeatures(const OnsetFeatures& f, const TempoOptions& options)
{
    // A range that makes sense, whatever was asked.
    TempoOptions range;
    range.minBpm = std::isfinite(options.minBpm) ? std::max(1.0, options.minBpm) : 1.0;
    range.maxBpm = std::isfinite(options.maxBpm) ? std::max(range.minBpm, options.maxBpm) : 1000.0;
    TempoResult result;
    result.trackedBeats = int(f.trackedBeatsMs.size());
    const Attacks attacks = attacksOf(f.fine, f.fineHopMs);
    if (attacks.timesMs.size() < 3)
        return result;

    // 1. The beat interval, scored over the whole song.
    const IntervalScoring::Candidate candidate =
        IntervalScoring::best(f.strength, f.strengthHopMs, range.minBpm, range.maxBpm);
    double period =
        candidate.periodMs > 0.0 ? candidate.periodMs : medianInterval(f.trackedBeatsMs);
    if (!(period > 0.0))
        return result;

    // 2. The period refined on every attack of the song, and the grid's phase where the
    // attacks are strongest.
    period = BeatGridFit::agreeingPeriod(attacks.timesMs, attacks.strengths, period);
    const OnsetAlignment onsets(attacks.timesMs, attacks.strengths, period, AttackBlurMs);
    const double seed = onsets.peakNear(0.0, period);

    // 3. Least squares on the tracked beats that lie on that grid, each moved onto its
    // attack; on the attacks themselves where the tracker lost the beat for much of the song.
    const std::vector<double> snapped = snapToAttacks(f.trackedBeatsMs, attacks, period / 6.0);
    auto fit = BeatGridFit::fit(snapped, period, seed);
    double expected = expectedOnGrid(snapped, period);
    if (!fit || fit->inliers < 0.5 * expected) {
        fit = BeatGridFit::fit(attacks.timesMs, period, seed);
        expected = expectedOnGrid(attacks.timesMs, period);
    }
    if (!fit)
        return result;

    // 4. The level of the meter, then the range.
    double fitted = fit->periodMs;
    if (60000.0 / fitted * 2.0 <= range.maxBpm &&
        halfBeatsAsStrong(f, attacks, fitted, fit->phaseMs))
        fitted /= 2.0;
    result.fittedBpm = intoRange(60000.0 / fitted, range);
    result.bpm = std::round(result.fittedBpm * 100.0) / 100.0;
    const double grid = 60000.0 / result.bpm;

    // 5. The phase at the rounded tempo: where the attacks fall on its grid over the whole
    // song, on the beat or half a beat on (a tempo halved into the range) as they favour.
    const OnsetAlignment align(attacks.timesMs, attacks.strengths, grid, AttackBlurMs);
    double phase = align.peakNear(fit->phaseMs, grid / 10.0);
    const double other = align.peakNear(fit->phaseMs + grid / 2.0, grid / 10.0);
    if (align.strengthAt(other) > align.strengthAt(phase))
        phase = other;
    result.firstBeatMs = phase;

    result.fittedBeats = fit->inliers;
    result.spreadMs = fit->rmsMs;
    // Explained: the share of the beats heard that the grid holds, discounted as their
    // spread grows toward a few percent of a beat, and when there are only a few.
    const double share = std::min(1.0, double(fit->inliers) / std::max(1.0, expected));
    const double tight = std::exp(-std::pow(fit->rmsMs / (0.03 * fit->periodMs), 2.0));
    const double enough = std::min(1.0, fit->inliers / 8.0);
    result.confidence = std::clamp(share * tight * enough, 0.0, 1.0);
    return result;
}

} // namespace tavix
