#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace tavix {

// The two ways a real number becomes an integer in this program: trunc cuts toward
// zero, nearest goes to the nearest whole number with halves to even (2.5 -> 2).
inline double truncReal(double x)
{
    return std::trunc(x);
}

inline double nearestReal(double x)
{
    // nearbyint honours the current rounding mode, which is round-half-even by default.
    return std::nearbyint(x);
}

// Whether a whole number `r` fits Int. The bounds are compared as powers of two, which
// doubles hold exactly: double(INT64_MAX) rounds up to 2^63, one beyond the range.
template <typename Int> bool fitsInteger(double r)
{
    constexpr int bits = std::numeric_limits<Int>::digits;
    const double lowest = std::numeric_limits<Int>::is_signed ? -std::ldexp(1.0, bits) : 0.0;
    return r >= lowest && r < std::ldexp(1.0, bits);
}

template <typename Int> std::optional<Int> nearestTo(double x)
{
    if (!std::isfinite(x))
        return std::nullopt;
    const double r = nearestReal(x);
    if (!fitsInteger<Int>(r))
        return std::nullopt;
    return static_cast<Int>(r);
}

template <typename Int> std::optional<Int> truncTo(double x)
{
    if (!std::isfinite(x))
        return std::nullopt;
    const double r = truncReal(x);
    if (!fitsInteger<Int>(r))
        return std::nullopt;
    return static_cast<Int>(r);
}

// Saturating forms for positions, where an out-of-range value can only come from
// absurd input and must not be undefined behaviour.
inline int32_t nearestInt32(double x)
{
    if (std::isnan(x))
        return 0;
    const double r = nearestReal(x);
    if (r <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (r >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

inline int32_t truncInt32(double x)
{
    if (std::isnan(x))
        return 0;
    const double r = truncReal(x);
    if (r <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (r >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

} // namespace tavix
