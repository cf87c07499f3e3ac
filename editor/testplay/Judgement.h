#pragma once

#include <array>
#include <cstdint>
#include <optional>

class QString;

namespace tavix {

// How close a press came to its target, best first.
enum class Judgement : uint8_t { Perfect, Great, Good, Bad, Miss };
inline constexpr int JudgementCount = 5;

// The widest error, in ms of what the player hears, that earns each judgement. A target
// with no press within the Bad window is a Miss.
struct JudgeWindows
{
    double perfectMs = 25.0;
    double greatMs = 50.0;
    double goodMs = 90.0;
    double badMs = 135.0;

    // Windows that widen from Perfect to Bad, all above zero.
    bool valid() const;
    // The judgement of an error (early negative); Miss beyond the Bad window.
    Judgement of(double errorMs) const;
    bool operator==(const JudgeWindows&) const = default;
};

// The word shown for a judgement.
QString judgementName(Judgement j);

} // namespace tavix
