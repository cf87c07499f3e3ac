#pragma once

#include "ViewNavigator.h"

#include <QPoint>

#include <cstdint>
#include <functional>

class QScrollBar;

namespace tavix {

class KeP;

// Where the view stands on the chart: the time bar's value, moved by the navigation keys,
// the wheel and the overview strip (not while a run moves) and by the play position. It
// is moved through the bar's own value, as if the bar had been dragged, and never on past
// the chart's last canvas width into the empty end of the song. Pages and that last width
// are the canvas at the zoom of the moment.
class ViewPlace
{
public:
    ViewPlace(const KeP& kep, QScrollBar& bar, std::function<bool()> allowed,
              std::function<int()> cellWidth)
        : m_kep(kep), m_bar(bar), m_allowed(std::move(allowed)), m_cellWidth(std::move(cellWidth))
    {
    }

    // The bar value that shows the chart's last canvas width at the current zoom.
    int32_t lastValue() const;
    void step(ViewNavigator::Step step);
    void wheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers);
    // A point of the overview strip at the left of the canvas.
    void choose(int32_t value);
    // The play position moves the view; near the end it turns to the last canvas width.
    void follow(int32_t value);
    // A run ended: the end of the chart in view, not the empty end of the song.
    void runEnded();

private:
    const KeP& m_kep;
    QScrollBar& m_bar;
    std::function<bool()> m_allowed;
    std::function<int()> m_cellWidth;
    ViewNavigator m_navigator;
};

} // namespace tavix
