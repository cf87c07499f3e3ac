#pragma once

#include <cstdint>

namespace tavix::Internal {

// The native chart file: the magic, the grid's upper index U (32-bit, little-endian) and
// the U + 1 grid bytes.
inline constexpr char NativeMagic[] = "ZorvikTuneScribeFile";
inline constexpr int NativeMagicSize = 20;
inline constexpr int NativeHeaderSize = NativeMagicSize + 4;

static_assert(sizeof(NativeMagic) == NativeMagicSize + 1);

} // namespace tavix::Internal
