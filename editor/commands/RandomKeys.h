#pragma once

#include <cstdint>
#include <random>

namespace tavix {

class ChartEdit;
class KeP;

// Re-draws which direction keys each keyed cell holds, keeping every cell's number of
// keys and every confirm marker. The generator starts from the same fixed state in every
// run of the program, so the same commands on the same chart give the same chart.
class RandomKeys
{
public:
    static constexpr uint32_t Seed = 5489u;

    RandomKeys() = default;

    // A uniform value in [0, 1) of single precision.
    float draw();

    // Re-draws the whole chart, cell by cell in ascending order.
    void apply(ChartEdit& edit);

    // How many keys a cell is given back. Elements hold 0 or 1 in charts this program
    // writes; a foreign file may bring other values, whose sum is taken as it stands as
    // long as six distinct rows can hold it, and as six (every row) beyond that, where
    // the draw could otherwise never finish.
    static int keysToDraw(const KeP& kep, int32_t cell);

private:
    std::mt19937 m_generator{Seed};
};

} // namespace tavix
