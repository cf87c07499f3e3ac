#pragma once

#include "ChartEdit.h"
#include "KeP.h"
#include "KeyDisplayHost.h"
#include "TavixKey.h"

#include <QImage>
#include <QRectF>

#include <functional>
#include <vector>

namespace tavix::test {

// The window as the key display sees it: a drag state the test sets, a time bar that
// records what the display asks of it, and, when the test gives it one, the chart it
// refits through the editing interface.
class FakeHost : public KeyDisplayHost
{
public:
    DragState drag;
    std::vector<int32_t> timeSetValues;
    std::function<void(int32_t)> onTimeSet;
    KeP* chart = nullptr;

    const DragState& dragState() const override { return drag; }
    void setTimeSetValue(int32_t value) override
    {
        timeSetValues.push_back(value);
        if (onTimeSet)
            onTimeSet(value);
    }
    bool fitChart(int32_t TotalB) override
    {
        if (!chart)
            return false;
        ChartEdit edit(*chart);
        return edit.resizeCells(TotalB);
    }
};

// A canvas without a window: counts the frames and keeps the last one.
class ImageSurface : public CanvasSurface
{
public:
    explicit ImageSurface(QSize size = QSize(974, 435), bool keepFrames = true)
        : m_size(size), m_keep(keepFrames)
    {
    }
    QSize surfaceSize() const override { return m_size; }
    void present(const QImage& frame) override
    {
        ++presented;
        if (m_keep)
            last = frame.copy();
    }

    int presented = 0;
    QImage last;

private:
    QSize m_size;
    bool m_keep;
};

inline QRectF rectOf(const Quad& q)
{
    return QRectF(QPointF(q.v[0].x, q.v[0].y), QPointF(q.v[3].x, q.v[3].y));
}

inline bool isGlyph(const Quad& q)
{
    return q.texture >= Texture::Key1;
}

inline std::vector<Quad> glyphs(const TavixKey& key)
{
    std::vector<Quad> out;
    for (const Quad& q : key.lastFrame())
        if (isGlyph(q))
            out.push_back(q);
    return out;
}

inline std::vector<Quad> lines(const TavixKey& key)
{
    std::vector<Quad> out;
    for (const Quad& q : key.lastFrame())
        if (q.texture == Texture::Line)
            out.push_back(q);
    return out;
}

// A chart at 100 BPM (a cell lasts 150 ms) with a grid of `cells` cells.
inline void chartAt100Bpm(KeP& kep, int32_t cells)
{
    kep.setTempo(100.0);
    ChartEdit(kep).resizeCells(cells);
}

inline void setKey(KeP& kep, int32_t cell, int row, uint8_t value = 1)
{
    ChartEdit(kep).set(KeP::flatIndex(cell, row), value);
}

} // namespace tavix::test
