#include "CheckLimitsRow.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>

#include <cmath>

namespace tavix {

CheckLimitsRow::CheckLimitsRow(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    const auto add = [&](const QString& before, double low, double high, int decimals,
                         const QString& suffix) {
        row->addWidget(new QLabel(before, this));
        auto* box = new QDoubleSpinBox(this);
        box->setRange(low, high);
        box->setDecimals(decimals);
        box->setSuffix(suffix);
        connect(box, &QDoubleSpinBox::editingFinished, this, [this] { edited(); });
        row->addWidget(box);
        return box;
    };
    m_boxes[0] = add(tr("Too dense above"), 1.0, 100.0, 1, tr(" keys/s"));
    m_boxes[1] = add(tr("over"), 250.0, 10000.0, 0, tr(" ms;"));
    m_boxes[2] = add(tr("same key again within"), 1.0, 1000.0, 0, tr(" ms;"));
    m_boxes[3] = add(tr("silent below"), -80.0, -10.0, 0, tr(" dB"));
    m_boxes[4] = add(tr("for"), 50.0, 10000.0, 0, tr(" ms"));
    row->addStretch();
    setLimits(m_limits);
}

void CheckLimitsRow::setLimits(const CheckThresholds& limits)
{
    m_limits = limits;
    m_boxes[0]->setValue(limits.denseKeysPerSecond);
    m_boxes[1]->setValue(limits.denseWindowMs);
    m_boxes[2]->setValue(limits.repeatMs);
    m_boxes[3]->setValue(std::round(20.0 * std::log10(double(limits.silencePeak))));
    m_boxes[4]->setValue(limits.silenceMinMs);
}

void CheckLimitsRow::edited()
{
    CheckThresholds next = m_limits;
    next.denseKeysPerSecond = m_boxes[0]->value();
    next.denseWindowMs = m_boxes[1]->value();
    next.repeatMs = m_boxes[2]->value();
    next.silencePeak = float(std::pow(10.0, m_boxes[3]->value() / 20.0));
    next.silenceMinMs = m_boxes[4]->value();
    if (next.denseKeysPerSecond == m_limits.denseKeysPerSecond &&
        next.denseWindowMs == m_limits.denseWindowMs && next.repeatMs == m_limits.repeatMs &&
        std::round(20.0 * std::log10(double(m_limits.silencePeak))) == m_boxes[3]->value() &&
        next.silenceMinMs == m_limits.silenceMinMs)
        return;
    m_limits = next;
    if (onChanged)
        onChanged(m_limits);
}

} // namespace tavix
