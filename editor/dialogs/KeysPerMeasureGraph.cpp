#include "KeysPerMeasureGraph.h"

#include <QPainter>

#include <algorithm>

namespace tavix {

namespace {

// The step of the scale's lines: 1, 2 or 5 times a power of ten, so that the tallest bar
// spans at most four of them.
int32_t scaleStep(int32_t most)
{
    for (int32_t power = 1;; power *= 10)
        for (const int32_t f : {1, 2, 5})
            if (int64_t(f) * power * 4 >= most)
                return f * power;
}

} // namespace

KeysPerMeasureGraph::KeysPerMeasureGraph(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(300, 110);
}

void KeysPerMeasureGraph::setCounts(std::vector<int32_t> counts)
{
    m_counts = std::move(counts);
    update();
}

void KeysPerMeasureGraph::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 24, 32));
    const QFontMetrics fm = fontMetrics();
    const int32_t most =
        std::max(1, m_counts.empty() ? 0 : *std::max_element(m_counts.begin(), m_counts.end()));
    const int32_t step = scaleStep(most);
    const int32_t top = (most + step - 1) / step * step;
    const int left = fm.horizontalAdvance(QString::number(top)) + 10;
    const QRectF plot = QRectF(rect()).adjusted(left, fm.ascent() / 2 + 4, -8, -(fm.height() + 4));

    p.setPen(QColor(70, 70, 84));
    for (int32_t v = 0; v <= top; v += step) {
        const double y = plot.bottom() - plot.height() * v / top;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    const double w = m_counts.empty() ? 0.0 : plot.width() / double(m_counts.size());
    for (size_t i = 0; i < m_counts.size(); ++i) {
        if (m_counts[i] <= 0)
            continue;
        const double h = plot.height() * m_counts[i] / top;
        // Bars at least a pixel wide; where several share one, the tallest shows.
        const double gap = w >= 4.0 ? 1.0 : 0.0;
        p.fillRect(
            QRectF(plot.left() + double(i) * w, plot.bottom() - h, std::max(w - gap, 1.0), h),
            QColor(90, 160, 255));
    }

    p.setPen(QColor(220, 220, 220));
    for (int32_t v = 0; v <= top; v += step) {
        const double y = plot.bottom() - plot.height() * v / top;
        const QString text = QString::number(v);
        p.drawText(QPointF(left - 6 - fm.horizontalAdvance(text), y + fm.ascent() / 2.0), text);
    }
    const double base = plot.bottom() + fm.ascent() + 2;
    if (m_counts.empty()) {
        p.drawText(QPointF(plot.left(), base), tr("no measures"));
        return;
    }
    p.drawText(QPointF(plot.left(), base), tr("measure 1"));
    const QString last = QString::number(m_counts.size());
    p.drawText(QPointF(plot.right() - fm.horizontalAdvance(last), base), last);
}

} // namespace tavix
