#include "DecodeWatch.h"

#include <QProgressBar>

#include <algorithm>

namespace tavix {

DecodeWatch::DecodeWatch(QProgressBar& bar, std::function<double()> progress,
                         std::function<void()> step, std::function<void()> decoded)
    : m_bar(bar), m_progress(std::move(progress)), m_step(std::move(step)),
      m_decoded(std::move(decoded))
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, [this] { update(); });
}

void DecodeWatch::update()
{
    const double progress = m_progress();
    m_step();
    if (progress >= 1.0) {
        m_bar.setVisible(false);
        m_timer.stop();
        m_decoded();
        return;
    }
    m_bar.setValue(int(std::clamp(progress, 0.0, 1.0) * 1000.0));
    m_bar.setToolTip(tr("Decoding the song: %1%").arg(int(progress * 100.0)));
    m_bar.setVisible(true);
    if (!m_timer.isActive())
        m_timer.start();
}

} // namespace tavix
