#pragma once

#include <cstdint>
#include <optional>

namespace tavix {

// Where the navigation keys and the wheel move the time bar. The bar counts in steps of
// 100 ms, which a beat rarely fills exactly, so the navigator remembers the time it aimed
// at and rounds only the bar's value: ten beats on are ten beats, not ten rounded ones.
// The aim is forgotten as soon as the bar stands anywhere else than where it was put.
class ViewNavigator
{
public:
    enum class Step { BeatBack, BeatOn, PageBack, PageOn, Start, End };

    static constexpr int CellsPerBeat = 4;
    static constexpr int CellsPerMeasure = 16;
    // The canvas is 974 pixels wide at every zoom.
    static constexpr int CanvasWidth = 974;

    // A page is what the canvas shows at `cellWidth` pixels a cell.
    static double cellsPerPage(int cellWidth) { return double(CanvasWidth) / double(cellWidth); }

    // The bar value after a step from `value` on a bar of 0..`maximum` at `beatRate`
    // cells per millisecond, with cells `cellWidth` pixels wide (a width of 0 or less
    // counts as 32). A rate of 0 or less moves only to the start and the end.
    int32_t step(Step step, int32_t value, int32_t maximum, float beatRate, int cellWidth);
    // The bar value after a turn of the wheel (angle in eighths of a degree, 120 a notch,
    // positive away from the user): a beat per notch back, or a measure with `byMeasure`.
    // Parts of a notch add up until they make one.
    int32_t wheel(int angle, bool byMeasure, int32_t value, int32_t maximum, float beatRate);

private:
    int32_t moveByCells(double cells, int32_t value, int32_t maximum, float beatRate);

    std::optional<double> m_aimMs;
    int32_t m_aimValue = 0;
    int m_wheelAngle = 0;
};

} // namespace tavix
