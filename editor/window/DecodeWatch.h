#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QProgressBar;

namespace tavix {

// The bar under the music title while the song is still being decoded: it follows the
// progress every 100 ms, the waveform filling in meanwhile, and goes once the song is
// decoded, when its real length is known.
class DecodeWatch : public QObject
{
public:
    // `progress` says how far decoding has come (0..1), `step` runs at every look, and
    // `decoded` once it is complete.
    DecodeWatch(QProgressBar& bar, std::function<double()> progress, std::function<void()> step,
                std::function<void()> decoded);

    // Looks now, and goes on looking while the song decodes.
    void update();
    void stop() { m_timer.stop(); }

private:
    QProgressBar& m_bar;
    std::function<double()> m_progress;
    std::function<void()> m_step;
    std::function<void()> m_decoded;
    QTimer m_timer;
};

} // namespace tavix
