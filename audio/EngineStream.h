#pragma once

#include "DecodedSound.h"
#include "Mixer.h"
#include "TripleBuffer.h"

#include <cstdint>
#include <memory>

namespace tavix {

// The part of a stream that the audio thread works on. The caller's thread makes it whole
// and hands it over with an Add command; from then on only the audio thread touches
// `voice`, `appliedSeq` and the links, until the Remove command has been carried out.
// The caller reads it only through `out`.
struct EngineStream
{
    struct Published
    {
        Mixer::Timeline timeline;
        uint64_t appliedSeq = 0; // the last command on this stream that the mixer carried out
    };

    explicit EngineStream(std::shared_ptr<const DecodedSound> sound) : voice(std::move(sound)) {}

    Mixer::Stream voice;
    TripleBuffer<Published> out;
    uint64_t appliedSeq = 0;
    // A stream at rest is published again only when a command touched it or its timeline
    // moved on: its history of stretches is large to copy.
    bool touched = true;
    Mixer::Segment lastNewest{};
    int64_t lastPos = -1;
    int lastChannel = -1;
    EngineStream* prev = nullptr;
    EngineStream* next = nullptr;
};

} // namespace tavix
