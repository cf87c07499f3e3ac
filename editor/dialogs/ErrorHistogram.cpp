#include "ErrorHistogram.h"

#include <QPainter>

#include <algorithm>

namespace tavix {

ErrorHistogram::ErrorHistogram(const RunTally& tally, QWidget* parent)
    : QWidget(parent), m_bins(tally.histogram())
{
    setMinimumSize(300, 110);
}

void ErrorHistogram::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 24, 32));
    const int labels = fontMetrics().height() + 4;
    const QRectF plot = QRectF(rect()).adjusted(6, 6, -6, -labels);
    const int most = std::max(1, *std::max_element(m_bins.begin(), m_bins.end()));
    const double w = plot.width() / m_bins.size();
    for (size_t i = 0; i < m_bins.size(); ++i) {
        const double h = plot.height() * m_bins[i] / most;
        const double fromMs = RunTally::HistogramFromMs + double(i) * RunTally::HistogramBinMs;
        const QColor colour =
            fromMs + RunTally::HistogramBinMs <= 0 ? QColor(90, 160, 255) : QColor(255, 150, 70);
        p.fillRect(QRectF(plot.left() + double(i) * w + 1, plot.bottom() - h, w - 2, h), colour);
    }
    p.setPen(QColor(220, 220, 220));
    const double zero = plot.left() + plot.width() * (-RunTally::HistogramFromMs) /
                                          (RunTally::HistogramBins * RunTally::HistogramBinMs);
    p.drawLine(QPointF(zero, plot.top()), QPointF(zero, plot.bottom()));
    const int base = int(plot.bottom()) + labels - 4;
    p.drawText(QPointF(plot.left(), base), tr("-135 ms early"));
    const QString late = tr("late +135 ms");
    p.drawText(QPointF(plot.right() - fontMetrics().horizontalAdvance(late), base), late);
    p.drawText(QPointF(zero - fontMetrics().horizontalAdvance(QStringLiteral("0")) / 2.0, base),
               QStringLiteral("0"));
}

} // namespace tavix
