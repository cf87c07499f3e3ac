#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace tavix {

// Finds the output latency that the device does not report. A click track plays a click
// on every beat while the user presses a key with each click as they hear it; each press
// is compared with the click nearest to it, both on the track's own time as the engine
// reckons the listener hears it with the latency now in use. What remains is the latency
// still missing: the median of those errors, once presses that cannot be meant for a click
// (a stray or second press, one far off the others) are dropped.
class LatencyCalibration
{
public:
    using Clock = std::chrono::steady_clock;

    // The moments the calibration key went down since the last call, oldest first.
    class PressSource
    {
    public:
        virtual ~PressSource() = default;
        virtual std::vector<Clock::time_point> takePresses() = 0;
    };
    // The click track's position in ms that the listener hears at a moment, as the engine
    // reckons it with the latency now in use.
    using HeardMs = std::function<double(Clock::time_point)>;

    static constexpr double DefaultBpm = 120.0;
    static constexpr int DefaultBeats = 16;
    static constexpr double LeadInMs = 1000.0; // silence before the first click
    static constexpr int MinimumPresses = 6;   // presses kept for a result to count
    static constexpr double MaxSpreadMs = 50;  // beyond it the presses say nothing reliable
    static constexpr double MaxLatencyMs = 1000.0;

    struct Press
    {
        int beat = 0;       // the click it is compared with, from 0
        double errorMs = 0; // the press minus that click
        bool dropped = false;
        // Meant for no click: too far from every click, or a second press on one. (A
        // press dropped only for lying far from the others was meant for its click.)
        bool extra = false;
    };
    struct Result
    {
        std::vector<Press> presses; // in the order they came, with the dropped ones marked
        int kept = 0;
        double medianMs = 0; // the latency still missing
        double spreadMs = 0; // standard deviation of the kept errors
        bool valid = false;  // enough presses were kept, and they agree well enough
    };

    explicit LatencyCalibration(double bpm = DefaultBpm, int beats = DefaultBeats);

    int beats() const { return m_beats; }
    double beatMs() const { return m_beatMs; }
    // Where click `beat` (from 0) lies on the track.
    double clickMs(int beat) const { return LeadInMs + beat * m_beatMs; }
    // The whole track: the lead-in, the clicks and a beat to spare after the last.
    double trackMs() const { return clickMs(m_beats) + m_beatMs; }
    // The track has played far enough past the last click that no press can still come.
    bool over(double heardMs) const { return heardMs >= clickMs(m_beats - 1) + m_beatMs / 2; }

    // Takes the new presses from the source and files each against its click.
    void collect(PressSource& source, const HeardMs& heard);
    // One press, heard at track time `heardMs`.
    void addPress(double heardMs);
    void clear() { m_presses.clear(); }
    int pressCount() const { return static_cast<int>(m_presses.size()); }

    Result result() const;
    // The calibrated latency to use from now on, given the one in use while the clicks
    // played: that one plus what was still missing, within 0 and MaxLatencyMs.
    static double nextLatencyMs(double currentMs, const Result& result);

private:
    int m_beats;
    double m_beatMs;
    std::vector<Press> m_presses;
};

} // namespace tavix
