#pragma once

#include <QString>

#include <optional>

namespace tavix {

// The offset text that places every cell `lateMs` later in the music (earlier for a
// negative figure) than the offset term `offsetVal` does at `beatRate` cells a ms: the
// inverse of the rule that turns the offset text into the lead of chart time over music
// time. Three decimals with a point, as the offset box reads them; nothing without a
// tempo or for a figure that is not finite.
std::optional<QString> shiftedOffsetText(double offsetVal, float beatRate, double lateMs);

} // namespace tavix
