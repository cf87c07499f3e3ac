#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

namespace tavix {

// Bars of the keys in each measure of a chart, left to right, over a scale of keys up the
// left side and of measure numbers along the bottom. A long chart puts several measures on
// one pixel, which then shows the fullest of them.
class KeysPerMeasureGraph : public QWidget
{
public:
    explicit KeysPerMeasureGraph(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {460, 140}; }

    void setCounts(std::vector<int32_t> counts);
    const std::vector<int32_t>& counts() const { return m_counts; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int32_t> m_counts;
};

} // namespace tavix
