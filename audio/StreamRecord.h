#pragma once

#include "DecodedSound.h"
#include "EngineStream.h"
#include "StreamIntent.h"
#include "StretchFeed.h"
#include "WaveformPeaks.h"

#include <memory>
#include <thread>

namespace tavix {

// All the caller's thread keeps of one open stream. The members are destroyed bottom up:
// the decoder stops and is joined before the samples it writes can go.
struct StreamRecord
{
    std::shared_ptr<DecodedSound> sound;
    std::shared_ptr<const WaveformPeaks> peaks;
    std::unique_ptr<EngineStream> engine;
    StreamIntent intent;
    std::unique_ptr<StretchFeed> stretch; // while it plays slowed down
    std::jthread decoder;
};

} // namespace tavix
