#pragma once

#include "StreamRecord.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace tavix {

// Opens streams for the engine: reads the header of a file or of encoded bytes in memory
// on the caller's thread, and decodes the samples (resampled to the mix rate) on a thread
// of the stream's own, so the open returns at once and the stream plays as far as decoded.
// Blocks small enough to be the editor's clips are decoded during the open instead: a hit
// sound is whole before anything schedules it.
class StreamLoader
{
public:
    // Memory blocks up to this size are decoded during the open.
    static constexpr int64_t SynchronousDecodeBytes = int64_t{4} * 1024 * 1024;

    // A record with the sound, its peaks and its decoder (if it decodes in the background),
    // but no part for the audio thread yet; null with `error` set on failure. `mode` and
    // the rest as FSOUND_Stream_Open takes them.
    static std::unique_ptr<StreamRecord> open(const char* nameOrData, unsigned mode, int offset,
                                              int length, int mixRate, QString& error);
    // Blocks until the stream's samples are decoded completely.
    static void waitDecoded(StreamRecord& r);
    // The length in ms as far as it is known: the header's, or else the decoder's estimate
    // or what has decoded, whichever is longer.
    static int32_t lengthMs(const StreamRecord& r, int mixRate);
};

} // namespace tavix
