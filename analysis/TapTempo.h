#pragma once

#include <deque>
#include <optional>

namespace tavix {

// The tempo a user taps: the median interval between the last taps, so that one tap out
// of step moves nothing. A pause of two seconds starts a new run of taps.
class TapTempo
{
public:
    static constexpr double ResetMs = 2000.0;
    static constexpr int KeptTaps = 8;

    // A tap at `ms` on any steady clock; taps come in time order.
    void tap(double ms);
    void clear() { m_taps.clear(); }

    // Taps in the current run, up to KeptTaps.
    int taps() const { return int(m_taps.size()); }
    // Beats per minute once there are two taps.
    std::optional<double> bpm() const;
    // Whether a tap at `ms` would start a new run.
    bool expired(double ms) const { return m_taps.empty() || ms - m_taps.back() > ResetMs; }

private:
    std::deque<double> m_taps;
};

} // namespace tavix
