#include "OverviewStrip.h"

#include "KeP.h"
#include "Rounding.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

const QColor Background(20, 20, 24);
const QColor EnvelopeColour(190, 150, 210);
const QColor BarColour(70, 200, 110, 200);
const QColor TickColour(110, 150, 255);
const QColor FrameFill(255, 255, 255, 40);
const QColor FrameEdge(240, 220, 160);
const QColor PlayColour(128, 128, 255);
const QColor DriftTint(255, 150, 40, 70);

// A small picture of a waveform for the toggle.
QIcon waveIcon()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    const int heights[] = {3, 7, 12, 6, 14, 9, 4, 11, 5, 2};
    for (int i = 0; i < 10; ++i)
        painter.fillRect(QRect(1 + i + i / 2, 8 - heights[i] / 2, 1, std::max(1, heights[i])),
                         QColor(150, 110, 190));
    painter.fillRect(QRect(0, 0, 1, 16), QColor(230, 215, 170));
    painter.fillRect(QRect(15, 0, 1, 16), QColor(230, 215, 170));
    return QIcon(picture);
}

// A small metronome for the tempo dialog's button.
QIcon metronomeIcon()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(230, 215, 170), 1.5));
    painter.drawPolygon(
        QPolygonF({QPointF(5, 1.5), QPointF(11, 1.5), QPointF(14, 14.5), QPointF(2, 14.5)}));
    painter.setPen(QPen(QColor(150, 110, 190), 1.5));
    painter.drawLine(QPointF(8, 12), QPointF(12, 3));
    return QIcon(picture);
}

} // namespace

OverviewStrip::OverviewStrip(const KeP& kep, QWidget* parent) : QWidget(parent), m_kep(kep)
{
    setObjectName(QStringLiteral("overview"));
    setFixedSize(StripWidth, StripHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_toggle = new QToolButton(this);
    m_toggle->setObjectName(QStringLiteral("guidesToggle"));
    m_toggle->setCheckable(true);
    m_toggle->setAutoRaise(true);
    m_toggle->setFocusPolicy(Qt::NoFocus);
    m_toggle->setIcon(waveIcon());
    m_toggle->setToolTip(tr("Waveform and beat lines on the canvas (W)"));
    // The toggle over the tempo dialog's button, at the strip's right end.
    m_toggle->setGeometry(StripWidth - ToggleSize, StripHeight / 2 - ToggleSize, ToggleSize,
                          ToggleSize);
    connect(m_toggle, &QToolButton::toggled, this, &OverviewStrip::guidesToggled);
    m_tempo = new QToolButton(this);
    m_tempo->setObjectName(QStringLiteral("tempoButton"));
    m_tempo->setAutoRaise(true);
    m_tempo->setFocusPolicy(Qt::NoFocus);
    m_tempo->setIcon(metronomeIcon());
    m_tempo->setToolTip(tr("Tempo: detect, tap and apply (Ctrl+T)"));
    m_tempo->setGeometry(StripWidth - ToggleSize, StripHeight / 2, ToggleSize, ToggleSize);
    connect(m_tempo, &QToolButton::clicked, this, &OverviewStrip::tempoAsked);
    m_columns.resize(size_t(SongWidth));
    m_countLater.setSingleShot(true);
    connect(&m_countLater, &QTimer::timeout, this, [this] { refresh(m_lastView); });
}

OverviewStrip::~OverviewStrip() = default;

void OverviewStrip::setPeaks(std::shared_ptr<const WaveformPeaks> peaks)
{
    m_peaks = std::move(peaks);
    m_shown.peakBlocks = -2; // whatever comes next differs
    update();
}

void OverviewStrip::markStretches(std::vector<SongStretch> stretches)
{
    m_stretches = std::move(stretches);
    update();
}

std::vector<std::pair<int, int>> OverviewStrip::markedColumns() const
{
    std::vector<std::pair<int, int>> columns;
    if (m_shown.maximum <= 0)
        return columns;
    for (const SongStretch& s : m_stretches) {
        const int from = std::max(0, int(std::floor(xOfMs(s.fromMs + m_shown.leadMs))));
        const int to = std::min(SongWidth, int(std::ceil(xOfMs(s.toMs + m_shown.leadMs))));
        if (to > from)
            columns.emplace_back(from, to);
    }
    return columns;
}

void OverviewStrip::setGuidesShown(bool shown)
{
    const QSignalBlocker quiet(m_toggle);
    m_toggle->setChecked(shown);
}

bool OverviewStrip::guidesShown() const
{
    return m_toggle->isChecked();
}

double OverviewStrip::xOfMs(double chartMs) const
{
    if (m_shown.maximum <= 0)
        return 0.0;
    return chartMs / (double(m_shown.maximum) * 100.0) * double(SongWidth - 1);
}

int32_t OverviewStrip::timeSetValueAt(double x) const
{
    const double value = x / double(SongWidth - 1) * double(m_shown.maximum);
    return std::clamp(nearestInt32(value), 0, std::max(m_shown.maximum, 0));
}

OverviewStrip::Shown OverviewStrip::shownFor(const View& view) const
{
    Shown s;
    s.maximum = view.timeSetMaximum;
    s.beatRate = m_kep.BeatRate;
    s.leadMs = view.leadMs;
    const double scale = s.maximum > 0 ? double(SongWidth - 1) / (double(s.maximum) * 100.0) : 0;
    const auto pixel = [scale](double ms) {
        return int(std::clamp(std::floor(ms * scale), -1.0, double(SongWidth)));
    };
    s.viewFromX = pixel(view.viewFromMs);
    s.viewToX = pixel(view.viewToMs);
    s.playX = view.playMs >= 0 ? pixel(view.playMs) : -1;
    s.peakBlocks = m_peaks ? m_peaks->blocks(0) + (m_peaks->isComplete() ? 1 : 0) : -1;
    return s;
}

void OverviewStrip::countKeys(Shown& s) const
{
    // Keys of rows 1 to 6 per measure of 16 cells, and the cells with a confirm marker.
    const int32_t cells = m_kep.hasGrid() ? m_kep.TotalBeats : 0;
    s.keysPerMeasure.assign(size_t((int64_t(cells) + 15) / 16), 0);
    s.markerCells.clear();
    const uint8_t* grid = m_kep.KeyGrid.data();
    for (int32_t c = 0; c < cells; ++c) {
        const uint8_t* cell = grid + KeP::flatIndex(c, 1);
        s.keysPerMeasure[size_t(c / 16)] += (cell[0] != 0) + (cell[1] != 0) + (cell[2] != 0) +
                                            (cell[3] != 0) + (cell[4] != 0) + (cell[5] != 0);
        if (cell[6] != 0)
            s.markerCells.push_back(c);
    }
}

void OverviewStrip::refresh(const View& view)
{
    constexpr qint64 CountEveryMs = 250;
    m_lastView = view;
    Shown next = shownFor(view);
    const auto measures = size_t((int64_t(m_kep.hasGrid() ? m_kep.TotalBeats : 0) + 15) / 16);
    if (!m_sinceCount.isValid() || m_sinceCount.elapsed() >= CountEveryMs ||
        measures != m_shown.keysPerMeasure.size()) {
        countKeys(next);
        m_sinceCount.start();
        m_countLater.stop();
    } else {
        next.keysPerMeasure = m_shown.keysPerMeasure;
        next.markerCells = m_shown.markerCells;
        if (!m_countLater.isActive())
            m_countLater.start(int(CountEveryMs - m_sinceCount.elapsed()) + 1);
    }
    if (next == m_shown)
        return;
    m_shown = std::move(next);
    ++m_repaintsAsked;
    update();
}

void OverviewStrip::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setClipRect(0, 0, SongWidth, StripHeight);
    painter.fillRect(0, 0, SongWidth, StripHeight, Background);
    if (m_shown.maximum <= 0)
        return;
    paintEnvelope(painter);
    paintChart(painter);
    paintStretches(painter);

    const int left = std::max(m_shown.viewFromX, 0);
    const int right = std::min(std::max(m_shown.viewToX, left + 1), SongWidth);
    painter.fillRect(QRect(left, 0, right - left, StripHeight), FrameFill);
    painter.setPen(FrameEdge);
    painter.drawRect(QRect(left, 0, right - left - 1, StripHeight - 1));
    if (m_shown.playX >= 0)
        painter.fillRect(QRect(m_shown.playX, 0, 1, StripHeight), PlayColour);
}

void OverviewStrip::paintEnvelope(QPainter& painter)
{
    if (!m_peaks)
        return;
    // Column x covers the chart times from x's to (x + 1)'s; the song lies lead behind.
    const double msPerColumn = double(m_shown.maximum) * 100.0 / double(SongWidth - 1);
    m_peaks->columns(-m_shown.leadMs, msPerColumn, m_columns);
    const double middle = EnvelopeTop + EnvelopeHeight / 2.0;
    const double scale = EnvelopeHeight / 2.0 / 128.0;
    for (int x = 0; x < SongWidth; ++x) {
        const PeakRange r = m_columns[size_t(x)];
        if (r.empty())
            continue;
        const int top = int(std::floor(middle - r.hi * scale));
        const int bottom = std::max(top + 1, int(std::ceil(middle - r.lo * scale)));
        painter.fillRect(QRect(x, top, 1, bottom - top), EnvelopeColour);
    }
}

void OverviewStrip::paintChart(QPainter& painter)
{
    const double rate = double(m_shown.beatRate);
    if (!(rate > 0.0))
        return;
    int32_t densest = 16; // a sparse chart is not drawn as a dense one
    for (const int32_t n : m_shown.keysPerMeasure)
        densest = std::max(densest, n);
    for (size_t m = 0; m < m_shown.keysPerMeasure.size(); ++m) {
        const int32_t n = m_shown.keysPerMeasure[m];
        if (n == 0)
            continue;
        const int x0 = int(std::floor(xOfMs(16.0 * double(m) / rate)));
        const int x1 = std::max(x0 + 1, int(std::floor(xOfMs(16.0 * double(m + 1) / rate))));
        const int height = std::max(1, int(std::lround(double(n) / densest * BarsHeight)));
        painter.fillRect(QRect(x0, BarsBottom - height + 1, x1 - x0, height), BarColour);
    }
    for (const int32_t c : m_shown.markerCells) {
        const int x = int(std::floor(xOfMs(double(c) / rate)));
        painter.fillRect(QRect(x, 0, 1, TickHeight), TickColour);
    }
}

void OverviewStrip::paintStretches(QPainter& painter)
{
    for (const auto& [from, to] : markedColumns())
        painter.fillRect(QRect(from, 0, to - from, StripHeight), DriftTint);
}

void OverviewStrip::choose(double x)
{
    emit timeSetChosen(timeSetValueAt(std::clamp(x, 0.0, double(SongWidth - 1))));
}

void OverviewStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && event->position().x() < SongWidth)
        choose(event->position().x());
}

void OverviewStrip::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        choose(event->position().x());
}

} // namespace tavix
