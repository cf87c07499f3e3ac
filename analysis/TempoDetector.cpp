#include "TempoDetector.h"

#include "BeatGridFit.h"
#include "BeatTracker.h"
#include "GridDrift.h"
#include "IntervalScoring.h"
#include "OnsetAlignment.h"
#include "OnsetExtractor.h"
#include "SampleSource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <tuple>

namespace tavix {

namespace {

// A rise of the compressed energy this large is an attack, not the flutter of a steady
// sound (a step of 0.5 is about 4 dB above what went just before).
constexpr double AttackRise = 0.5;
// Attacks closer than this are one attack.
constexpr double AttackGapMs = 30.0;
// How far an attack's time may be off: about a block either way.
constexpr double AttackBlurMs = 2.0;
// Rises this close to an attack's highest are the same level of it (about 0.1 dB).
constexpr double PlateauRise = 0.01;
// The range the song's one tempo is estimated in, whatever range was asked: the asked
// range only chooses which reading of that tempo is the answer.
constexpr double EstimateMinBpm = 75.0;
constexpr double EstimateMaxBpm = 225.0;
// A first beat this little before the end of a beat is the beat at 0 the song starts on,
// read a hair early.
constexpr double StartSlackMs = 3.0;
// Below this a beat with half-beats as strong is taken at twice the speed whatever the
// drums' low end plays: songs are seldom charted this slow.
constexpr double SlowBpm = 100.0;
// How far the whole song's interval scoring can be off the true period: the attacks are
// searched that far either side of it, no farther, lest a dense mix's strays lead away.
constexpr double PeriodReach = 0.012;
// The whole mix favours a half-beat clearly when its attacks there are this much stronger;
// the low end agrees with it when it is about as strong there (a kick on every eighth
// rises alike on both).
constexpr double Clearly = 1.1;
constexpr double LowAgrees = 0.85;
// Attacks this many times stronger than those at the beat tracked mark the beat instead.
constexpr double FarStronger = 2.0;
// A pulse outdoes the one between its beats when its weakest beat is this many times the
// other's strongest.
constexpr double PulseOutdoes = 3.0;
// A reading three to two faster scoring this much of the tempo's own score leaves no
// confidence in the meter; one scoring MeterDoubtWidth less leaves it whole.
constexpr double MeterInDoubt = 0.85;
constexpr double MeterDoubtWidth = 0.25;

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
        if (!highest)
            continue;
        // A short sound rises alike at every block whose window ahead holds all of it: the
        // attack starts where that level ends, at the last block of it.
        int64_t start = j;
        while (start + 1 < n && start + 1 <= j + gap &&
               fine[size_t(start + 1)] >= fine[size_t(j)] - PlateauRise)
            ++start;
        a.timesMs.push_back((double(start) + 0.5) * hopMs);
        a.strengths.push_back(fine[size_t(j)]);
        j = start;
    }
    return a;
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

// Half-beats as strong as the beats below a couple of hundred hertz too: the kick plays
// eighths, the beat is as slow as it seems. Where the half-beats are only higher up, they
// are a snare's backbeat between the kicks, and the beat is twice as fast.
bool halfBeatsInTheLowEnd(const Attacks& drums, double period, double phase)
{
    const OnsetAlignment low(drums.timesMs, drums.strengths, period, 4.0 * AttackBlurMs);
    return halfBeatRatio(low, period, phase) >= 0.5;
}

// Where a pulse two thirds of the beat long finds strong attacks on every one of its
// beats and the pulse between them next to none, every other beat of the grid falls in
// a gap: the beat is really three to two faster. Returns how far on the faster grid's
// beats lie from `phase`, or nothing when the song does not bear that out (where all
// thirds of the beat are alike, a shuffle's triplets, either reading holds).
std::optional<double> threeAgainstTwo(const Attacks& attacks, const Attacks& drums, double period,
                                      double phase)
{
    const auto pulses = [&](const Attacks& a, double blur) {
        const OnsetAlignment fold(a.timesMs, a.strengths, 2.0 * period, blur);
        std::array<double, 2> weakest{};
        std::array<double, 2> strongest{};
        for (int k = 0; k < 6; ++k) {
            const double at =
                fold.strengthAt(fold.peakNear(phase + k * period / 3.0, period / 20.0));
            auto& low = weakest[size_t(k % 2)];
            auto& high = strongest[size_t(k % 2)];
            low = k < 2 ? at : std::min(low, at);
            high = std::max(high, at);
        }
        // Which pulse is the stronger, and by how much its weakest beat outdoes the other's
        // strongest.
        const size_t on = weakest[1] > weakest[0] ? 1 : 0;
        const bool heard = std::max(strongest[0], strongest[1]) > 0.0;
        return std::tuple{heard, on, weakest[on] / std::max(1e-12, strongest[1 - on])};
    };
    const auto [heard, on, ratio] = pulses(attacks, AttackBlurMs);
    if (!heard || ratio < PulseOutdoes)
        return std::nullopt;
    // The drums' low end must agree, where there is one.
    const auto [lowHeard, lowOn, lowRatio] = pulses(drums, 4.0 * AttackBlurMs);
    if (lowHeard && (lowOn != on || lowRatio < PulseOutdoes))
        return std::nullopt;
    return double(on) * period / 3.0;
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

// The ways a beat can be read: the tempo heard, twice or half as fast, three beats in the
// time of two, or two in the time of three.
constexpr double Readings[] = {1.0, 2.0, 0.5, 1.5, 2.0 / 3.0};
// A reading across the meter (three to two) is taken over a reading by octaves only when
// the song bears it out much better.
constexpr double AcrossMeter = 0.5;

bool acrossMeter(double factor)
{
    return std::abs(std::remainder(std::log2(factor), 1.0)) > 0.1;
}

// How much a tempo is expected a priori: most songs are charted near the middle of the
// estimate range, an octave either side still likely.
double tempoPrior(double bpm)
{
    const double octaves = std::log2(bpm / std::sqrt(EstimateMinBpm * EstimateMaxBpm));
    return std::exp(-0.5 * octaves * octaves);
}

double roundedBpm(double bpm)
{
    return std::round(bpm * 100.0) / 100.0;
}

// The beat heard: the one tracked, unless the tracker locked on a syncopation a sixteenth
// beside the beat, where attacks far stronger a sixteenth on, the drums' low end agreeing,
// mark the beat instead.
double heardBeat(const Attacks& attacks, const Attacks& drums, double beatMs, double periodMs)
{
    const OnsetAlignment align(attacks.timesMs, attacks.strengths, periodMs, AttackBlurMs);
    const OnsetAlignment low(drums.timesMs, drums.strengths, periodMs, 4.0 * AttackBlurMs);
    const auto lowAt = [&](double at) { return low.strengthAt(low.peakNear(at, periodMs / 10.0)); };
    const double tracked = align.peakNear(beatMs, periodMs / 10.0);
    double best = tracked;
    for (double on : {0.25 * periodMs, 0.75 * periodMs}) {
        const double other = align.peakNear(tracked + on, periodMs / 16.0);
        if (align.strengthAt(other) > FarStronger * align.strengthAt(best) &&
            lowAt(other) > lowAt(best))
            best = other;
    }
    return best == tracked ? beatMs : best;
}

// The first beat at or after 0 of a grid at `bpm` that keeps the beat heard at `beatMs`
// (of a grid `beatPeriodMs` apart) where the attacks favour: a slower reading's beats fall
// on one of every two or three of those, a faster one's between them as well.
double readingPhase(const Attacks& attacks, const Attacks& drums, double bpm, double beatMs,
                    double beatPeriodMs)
{
    const double grid = 60000.0 / bpm;
    const OnsetAlignment align(attacks.timesMs, attacks.strengths, grid, AttackBlurMs);
    const OnsetAlignment low(drums.timesMs, drums.strengths, grid, 4.0 * AttackBlurMs);
    const auto lowAt = [&](double at) { return low.strengthAt(low.peakNear(at, grid / 10.0)); };
    // The beat where the attacks of the whole song favour: on the beat tracked or half a
    // beat on, and for a slower reading, on one of every two or three beats heard. Half a
    // beat on only when the drums' low end agrees: cymbals and guitars can make the
    // off-beats the louder in the whole mix, the kicks and snares seldom.
    double best = align.peakNear(beatMs, grid / 10.0);
    for (double on : {0.5 * grid, beatPeriodMs, 2.0 * beatPeriodMs}) {
        const double other = align.peakNear(beatMs + on, grid / 10.0);
        const bool half = std::abs(std::remainder(on, grid)) > 0.25 * grid;
        const double ratio = align.strengthAt(other) / std::max(1e-12, align.strengthAt(best));
        const double lowRatio = lowAt(other) / std::max(1e-12, lowAt(best));
        if (ratio > 1.0 && (!half || lowRatio > 1.0 || (ratio > Clearly && lowRatio > LowAgrees)))
            best = other;
    }
    return best > grid - StartSlackMs ? 0.0 : best;
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
    const Attacks attacks = attacksOf(f.fine, f.fineHopMs);
    const Attacks drums = attacksOf(f.low, f.fineHopMs);
    if (attacks.timesMs.size() < 3)
        return result;

    // 1. The beat interval, scored over the whole song. Long enough lags to score the
    // slowest reading of the slowest tempo.
    const IntervalScoring scoring(f.strength, f.strengthHopMs,
                                  2.0 * 60000.0 / (0.5 * EstimateMinBpm));
    const IntervalScoring::Candidate candidate = scoring.best(EstimateMinBpm, EstimateMaxBpm);
    double period = candidate.periodMs;
    if (!(period > 0.0))
        return result;

    // 2. The period refined on every attack of the song, and the grid's phase where the
    // attacks are strongest.
    period = BeatGridFit::agreeingPeriod(attacks.timesMs, attacks.strengths, period, PeriodReach);
    const OnsetAlignment onsets(attacks.timesMs, attacks.strengths, period, AttackBlurMs);
    const double seed = onsets.peakNear(0.0, period);

    // 3. The beats of the whole song at that period, found at once (see BeatTracker), and
    // the grid fitted to them; on the attacks themselves where no chain of beats holds.
    const std::vector<double> tracked = BeatTracker::track(f.strength, f.strengthHopMs, period);
    result.trackedBeats = int(tracked.size());
    auto fit = BeatGridFit::fitChain(tracked, period);
    double expected = expectedOnGrid(tracked, period);
    if (!fit || fit->inliers < 0.5 * expected) {
        fit = BeatGridFit::fit(attacks.timesMs, period, seed);
        expected = expectedOnGrid(attacks.timesMs, period);
    }
    if (!fit)
        return result;

    // 4. The level of the meter: the song's one tempo.
    double fitted = fit->periodMs;
    double phase = fit->phaseMs;
    if (60000.0 / fitted * 2.0 <= EstimateMaxBpm && halfBeatsAsStrong(f, attacks, fitted, phase) &&
        (60000.0 / fitted < SlowBpm || !halfBeatsInTheLowEnd(drums, fitted, phase)))
        fitted /= 2.0;
    else if (60000.0 / fitted * 1.5 <= EstimateMaxBpm) {
        if (const auto shift = threeAgainstTwo(attacks, drums, fitted, phase)) {
            phase += *shift;
            fitted *= 2.0 / 3.0;
        }
    }
    const double tempo = 60000.0 / fitted;

    // 5. Its readings, each scored on the whole song's evidence and given its own phase;
    // the answer is the tempo itself when the range holds it, else the best reading the
    // range holds, else the tempo doubled or halved toward the range.
    struct Reading
    {
        double factor;
        double bpm;
        double score;
    };
    std::vector<Reading> readings;
    double total = 0.0;
    const auto evidence = [&](double factor) {
        const double bpm = tempo * factor;
        return scoring.score(60000.0 / bpm) * tempoPrior(bpm) *
               (acrossMeter(factor) ? AcrossMeter : 1.0);
    };
    for (double factor : Readings) {
        const double bpm = tempo * factor;
        const double score = evidence(factor);
        readings.push_back({factor, bpm, score});
        total += score;
    }
    const auto inRange = [&](double bpm) { return bpm >= range.minBpm && bpm <= range.maxBpm; };
    double answer = tempo;
    if (!inRange(tempo)) {
        const Reading* best = nullptr;
        for (const Reading& r : readings)
            if (inRange(r.bpm) && (!best || r.score > best->score))
                best = &r;
        answer = best ? best->bpm : intoRange(tempo, range);
    }
    const auto share = [&](double bpm) {
        return total > 0.0 ? std::clamp(evidence(bpm / tempo) / total, 0.0, 1.0) : 0.0;
    };
    const double beat = heardBeat(attacks, drums, phase, fitted);
    const auto reading = [&](double bpm) {
        TempoCandidate c;
        c.bpm = roundedBpm(bpm);
        c.firstBeatMs = readingPhase(attacks, drums, c.bpm, beat, fitted);
        c.score = share(bpm);
        return c;
    };
    const TempoCandidate chosen = reading(answer);
    result.candidates.push_back(chosen);
    std::sort(readings.begin(), readings.end(),
              [](const Reading& a, const Reading& b) { return a.score > b.score; });
    for (const Reading& r : readings)
        if (result.candidates.size() < 3 && std::abs(r.bpm - answer) > 0.01 * answer)
            result.candidates.push_back(reading(r.bpm));

    result.fittedBpm = answer;
    result.bpm = chosen.bpm;
    result.firstBeatMs = chosen.firstBeatMs;

    // 6. Whether one grid holds the whole song.
    result.offGrid = GridDrift::stretches(tracked, fit->periodMs, fit->phaseMs, f.durationMs);
    result.constant = result.offGrid.empty();

    result.fittedBeats = fit->inliers;
    result.spreadMs = fit->rmsMs;
    // Explained: the share of the beats heard that the grid holds, discounted as their
    // spread grows toward a few percent of a beat, and when there are only a few.
    const double held = std::min(1.0, double(fit->inliers) / std::max(1.0, expected));
    const double tight = std::exp(-std::pow(fit->rmsMs / (0.03 * fit->periodMs), 2.0));
    const double enough = std::min(1.0, fit->inliers / 8.0);
    // A grid fits the beats alike whichever level of the meter it is read at, so the fit
    // cannot tell a misread meter: a reading three to two faster that the whole song bears
    // out nearly as well as the tempo (a shuffle, a half-time feel) leaves it in doubt.
    const double own = scoring.score(60000.0 / tempo);
    const double faster = own > 0.0 ? scoring.score(60000.0 / (1.5 * tempo)) / own : 1.0;
    const double meter = std::clamp((MeterInDoubt - faster) / MeterDoubtWidth, 0.0, 1.0);
    result.confidence = std::clamp(held * tight * enough * meter, 0.0, 1.0);
    return result;
}

} // namespace tavix
