#pragma once

#include "ChartChecks.h"

#include <QWidget>

#include <array>
#include <functional>

class QDoubleSpinBox;

namespace tavix {

// The limits of the checks a user may set: too many keys a second over a stretch, the
// same key again too soon, and how quiet and how long a stretch of the song is silence. A limit
// edited and left is handed on at once.
class CheckLimitsRow : public QWidget
{
public:
    explicit CheckLimitsRow(QWidget* parent = nullptr);

    void setLimits(const CheckThresholds& limits);
    CheckThresholds limits() const { return m_limits; }
    std::function<void(const CheckThresholds&)> onChanged;

    QDoubleSpinBox& box(size_t i) { return *m_boxes[i]; }

private:
    void edited();

    CheckThresholds m_limits;
    // keys a second, over ms, same key within ms, silent below dB, for ms
    std::array<QDoubleSpinBox*, 5> m_boxes{};
};

} // namespace tavix
