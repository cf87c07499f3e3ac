#include "RandomKeys.h"

#include "ChartEdit.h"
#include "KeP.h"

#include <algorithm>
#include <array>

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

void RandomKeys::apply(ChartEdit& edit)
{
    const KeP& kep = edit.chart();
    if (!kep.hasGrid())
        return;
    const auto cells = int32_t(std::min<int64_t>(kep.TotalBeats, int64_t(kep.upperIndex()) / 7));
    for (int32_t c = 0; c < cells; ++c) {
        int n = keysToDraw(kep, c);
        if (n <= 0)
            continue;
        // The cell is drawn anew from six clear rows, then written: only the rows that
        // end up different are changed.
        std::array<uint8_t, 7> rows{};
        while (n > 0) {
            // Rows 1 to 5 come from u in [1/6, 1) and row 6 from u below 1/6; a row already
            // drawn is drawn again.
            int r = int(double(draw()) * 6.0);
            if (r == 0)
                r = 6;
            if (rows[size_t(r)] == 0) {
                rows[size_t(r)] = 1;
                --n;
            }
        }
        for (int r = 1; r <= 6; ++r)
            edit.set(KeP::flatIndex(c, r), rows[size_t(r)]);
    }
}

} // namespace tavix
