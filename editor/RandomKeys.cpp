#include "RandomKeys.h"

#include "KeP.h"

#include <algorithm>

namespace tavix {

float RandomKeys::draw()
{
    // The top 24 bits give every float of [0, 1) on a 2^-24 grid, and never 1.
    return float(m_generator() >> 8) * (1.0f / 16777216.0f);
}

int RandomKeys::keysToDraw(const KeP& kep, int32_t cell)
{
    int sum = 0;
    for (int r = 1; r <= 6; ++r)
        sum += kep.at(cell, r);
    return std::min(sum, 6);
}

void RandomKeys::apply(KeP& kep)
{
    if (!kep.hasGrid())
        return;
    const auto cells = int32_t(std::min<int64_t>(kep.TotalBeats, int64_t(kep.upperIndex()) / 7));
    for (int32_t c = 0; c < cells; ++c) {
        int n = keysToDraw(kep, c);
        if (n <= 0)
            continue;
        for (int r = 1; r <= 6; ++r)
            kep.KeyGrid[size_t(KeP::flatIndex(c, r))] = 0;
        while (n > 0) {
            // Rows 1 to 5 come from u in [1/6, 1) and row 6 from u below 1/6; a row already
            // drawn is drawn again.
            int r = int(double(draw()) * 6.0);
            if (r == 0)
                r = 6;
            uint8_t& element = kep.KeyGrid[size_t(KeP::flatIndex(c, r))];
            if (element == 0) {
                element = 1;
                --n;
            }
        }
    }
}

} // namespace tavix
