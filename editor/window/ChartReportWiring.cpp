#include "ChartReportWiring.h"

#include "ChartChecks.h"
#include "ChartReportDialog.h"
#include "ChartStats.h"
#include "ChartingStrip.h"
#include "CheckLimitsRow.h"
#include "KE.h"
#include "KeyboardCharting.h"
#include "WaveformPeaks.h"

#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tavix {

namespace {

// The checks take a level every this many milliseconds; a silence is a quarter of a
// second at the least, so finer steps would tell nothing more.
constexpr double MsPerLevel = 10.0;

const QString DenseKey = QStringLiteral("checks/denseKeysPerSecond");
const QString DenseWindowKey = QStringLiteral("checks/denseWindowMs");
const QString RepeatKey = QStringLiteral("checks/repeatMs");
const QString SilenceKey = QStringLiteral("checks/silencePeak");
const QString SilenceLengthKey = QStringLiteral("checks/silenceMinMs");

std::unique_ptr<QSettings> settingsOf(const KE& window)
{
    return window.services().settings ? window.services().settings() : nullptr;
}

} // namespace

ChartReportWiring::ChartReportWiring(KE& window, ChartingStrip& strip) : m_window(window)
{
    if (const auto settings = settingsOf(window)) {
        CheckThresholds& l = m_limits;
        l.denseKeysPerSecond = settings->value(DenseKey, l.denseKeysPerSecond).toDouble();
        l.denseWindowMs = settings->value(DenseWindowKey, l.denseWindowMs).toDouble();
        l.repeatMs = settings->value(RepeatKey, l.repeatMs).toDouble();
        l.silencePeak = settings->value(SilenceKey, l.silencePeak).toFloat();
        l.silenceMinMs = settings->value(SilenceLengthKey, l.silenceMinMs).toDouble();
        // Limits that no check could use are the defaults again.
        if (!(l.denseKeysPerSecond > 0) || !(l.denseWindowMs > 0) || !(l.repeatMs > 0) ||
            !(l.silencePeak > 0 && l.silencePeak < 1) || !(l.silenceMinMs > 0))
            l = CheckThresholds{};
    }
    connect(&strip.report, &QPushButton::clicked, this, [this] { open(); });
}

ChartReportWiring::~ChartReportWiring()
{
    // Its callback reaches back here; it goes first.
    delete m_dialog.data();
}

ChartReportDialog* ChartReportWiring::dialog() const
{
    return m_dialog.data();
}

void ChartReportWiring::open()
{
    if (m_window.closing())
        return;
    if (!m_dialog) {
        m_dialog = new ChartReportDialog([this](int32_t cell) { showCell(cell); }, &m_window);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
        m_dialog->limits().setLimits(m_limits);
        m_dialog->limits().onChanged = [this](const CheckThresholds& limits) {
            m_limits = limits;
            if (const auto settings = settingsOf(m_window)) {
                settings->setValue(DenseKey, limits.denseKeysPerSecond);
                settings->setValue(DenseWindowKey, limits.denseWindowMs);
                settings->setValue(RepeatKey, limits.repeatMs);
                settings->setValue(SilenceKey, limits.silencePeak);
                settings->setValue(SilenceLengthKey, limits.silenceMinMs);
            }
            refresh();
        };
    }
    m_dialog->show();
    refresh();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void ChartReportWiring::chartChanged()
{
    if (!m_dialog || !m_dialog->isVisible() || m_pending)
        return;
    // A command may change the chart in several steps; the report is made once after them.
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        refresh();
    });
}

void ChartReportWiring::refresh()
{
    if (!m_dialog || !m_dialog->isVisible() || m_window.closing())
        return;
    const PlaybackSession& session = m_window.m_session;
    CheckInput in;
    in.timing = session.timing();
    in.limits = m_limits;
    if (session.music() != 0) {
        in.songLenMs = session.songLenMs();
        in.levels = levels();
    }
    const KeP& kep = m_window.kep();
    m_dialog->setReport(ChartStats::of(kep, in.timing.beatRate), ChartChecks::all(kep, in));
}

void ChartReportWiring::showCell(int32_t cell)
{
    if (m_window.m_session.moving())
        return;
    m_window.charting().cursorKeys().placeCursor(cell);
}

std::optional<SongLevels> ChartReportWiring::levels()
{
    const std::shared_ptr<const WaveformPeaks>& peaks = m_window.m_display.peaks();
    // Stretches still to be decoded read as silence; no levels are better than false ones.
    if (!peaks || !peaks->isComplete() || peaks->sampleRate() <= 0 || peaks->lengthFrames() < 0)
        return std::nullopt;
    if (m_levelsOf.lock() != peaks) {
        const double songMs = double(peaks->lengthFrames()) * 1000.0 / peaks->sampleRate();
        std::vector<PeakRange> ranges(size_t(std::ceil(songMs / MsPerLevel)));
        peaks->columns(0.0, MsPerLevel, ranges);
        m_levels.resize(ranges.size());
        std::transform(ranges.begin(), ranges.end(), m_levels.begin(), [](PeakRange r) {
            return r.empty() ? 0.0f
                             : float(std::max(std::abs(int(r.lo)), std::abs(int(r.hi)))) / 128.0f;
        });
        m_levelsOf = peaks;
    }
    return SongLevels{MsPerLevel, m_levels};
}

} // namespace tavix
