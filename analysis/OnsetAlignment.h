#pragma once

#include <vector>

namespace tavix {

// Lines a beat grid of a known period up with the onsets: an onset curve of the whole
// song folded onto one period shows where in the beat the attacks fall, and how strongly.
class OnsetAlignment
{
public:
    // Events at the given times, each counting with its weight, blurred by smoothMs either
    // side (the events' own uncertainty).
    OnsetAlignment(const std::vector<double>& timesMs, const std::vector<double>& weights,
                   double periodMs, double smoothMs);
    // A curve whose value j belongs to the time j * hopMs, blurred by a hop.
    OnsetAlignment(const std::vector<float>& curve, double hopMs, double periodMs);

    // The phase (0 <= phase < period) of the strongest attacks within `reachMs` of
    // `aroundMs`, to a fraction of a millisecond.
    double peakNear(double aroundMs, double reachMs) const;
    // The folded onset strength at a phase, smoothed over a couple of milliseconds.
    double strengthAt(double phaseMs) const;

private:
    void add(double timeMs, double weight);
    void smooth(double smoothMs);
    double wrap(double ms) const;

    double m_period;
    double m_binMs;
    std::vector<double> m_profile; // one bin per m_binMs
};

} // namespace tavix
