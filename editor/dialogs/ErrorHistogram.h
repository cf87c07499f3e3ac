#pragma once

#include "RunTally.h"

#include <QWidget>

namespace tavix {

// Bars of how many presses fell in each 10 ms of error, early on the left, with the zero
// line and the ends of the widest window marked.
class ErrorHistogram : public QWidget
{
public:
    explicit ErrorHistogram(const RunTally& tally, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {420, 130}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<int, RunTally::HistogramBins> m_bins{};
};

} // namespace tavix
