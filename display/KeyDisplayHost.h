#pragma once

#include "DragState.h"

#include <QImage>
#include <QSize>

#include <cstdint>

namespace tavix {

// What the key display needs of the window: its drag state, the time bar, which the
// display moves to follow the play position, and the chart's owner, who alone changes
// the chart (the display only reads it).
class KeyDisplayHost
{
public:
    virtual ~KeyDisplayHost() = default;
    virtual const DragState& dragState() const = 0;
    virtual void setTimeSetValue(int32_t value) = 0;
    // The display is set up for a chart of `TotalB` cells other than the chart's own
    // count: the owner makes the chart that long through its editing interface, or
    // says it cannot.
    virtual bool fitChart(int32_t TotalB) = 0;
};

// Where frames go: the canvas widget, or an image in tests.
class CanvasSurface
{
public:
    virtual ~CanvasSurface() = default;
    virtual QSize surfaceSize() const = 0;
    virtual void present(const QImage& frame) = 0;
};

} // namespace tavix
