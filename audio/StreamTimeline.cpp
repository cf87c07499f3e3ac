#include "StreamTimeline.h"

#include <algorithm>

namespace tavix {

double StreamTimeline::heardPosition(double heardFrame) const
{
    if ((channel < 0 && !endedNaturally) || segmentCount == 0)
        return static_cast<double>(pos);
    // The newest stretch begun while the listener heard no later than heardFrame.
    int index = newest;
    for (int k = 0; k < segmentCount; ++k) {
        const int i = (newest - k + History) % History;
        index = i;
        if (segments[static_cast<size_t>(i)].stamp <= heardFrame)
            break;
    }
    const Segment& seg = segments[static_cast<size_t>(index)];
    const bool open = seg.mixEnd < 0;
    // Both in mix frames: the song advances ratePercent hundredths of a frame for each.
    const double speed = seg.ratePercent / 100.0;
    const double extent = open && index == newest
                              ? static_cast<double>(pos + loopBase - seg.songStart) / speed
                              : static_cast<double>(seg.mixEnd - seg.mixStart);
    const double into =
        std::clamp(heardFrame - static_cast<double>(seg.mixStart), 0.0, std::max(extent, 0.0));
    return static_cast<double>(seg.songStart) + into * speed;
}

bool StreamTimeline::isAudible(double heardFrame) const
{
    if (channel >= 0)
        return true;
    if (!endedNaturally || segmentCount == 0)
        return false;
    const Segment& seg = segments[static_cast<size_t>(newest)];
    return heardFrame < static_cast<double>(seg.mixEnd);
}

} // namespace tavix
