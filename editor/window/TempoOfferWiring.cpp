#include "TempoOfferWiring.h"

#include "ChartingStrip.h"
#include "KE.h"
#include "OverviewStrip.h"

#include <QSettings>

namespace tavix {

namespace {

const QString DetectOnOpenKey = QStringLiteral("tempo/detectOnOpen");

} // namespace

TempoOfferWiring::TempoOfferWiring(KE& window, ChartingStrip& strip)
    : m_window(window), m_strip(strip)
{
    connect(&m_strip.useTempo, &QPushButton::clicked, this, [this] { use(); });
    connect(&m_strip.dismissTempo, &QPushButton::clicked, this, [this] { dismiss(); });
}

TempoOfferWiring::~TempoOfferWiring() = default;

bool TempoOfferWiring::detectOnOpen() const
{
    const auto settings = m_window.services().settings ? m_window.services().settings() : nullptr;
    return !settings || settings->value(DetectOnOpenKey, true).toBool();
}

void TempoOfferWiring::setDetectOnOpen(bool on)
{
    if (const auto settings =
            m_window.services().settings ? m_window.services().settings() : nullptr)
        settings->setValue(DetectOnOpenKey, on);
}

void TempoOfferWiring::songOpened()
{
    stop();
    m_known.reset();
    m_strip.hideTempoOffer();
    mark();
    m_armed = bool(m_window.services().detectTempo) && detectOnOpen();
}

void TempoOfferWiring::stop()
{
    m_armed = false;
    m_running = 0;
    m_detection.stop();
}

void TempoOfferWiring::songDecoded()
{
    const QString path = m_window.m_session.musicPath();
    if (!m_armed || path.isEmpty())
        return;
    m_armed = false;
    const int run = ++m_run;
    m_running = run;
    const QPointer<QObject> self(this);
    m_detection.start(
        [self, run, path, detect = m_window.services().detectTempo](const std::stop_token& stop) {
            const SongTempo found = detect(path, TempoOptions{}, stop, {});
            BackgroundRun::post(self, [self, run, found] {
                static_cast<TempoOfferWiring*>(self.data())->ended(run, found);
            });
        });
}

void TempoOfferWiring::ended(int run, const SongTempo& found)
{
    if (run != m_running)
        return;
    m_running = 0;
    if (!found.done())
        return;
    m_known = found.result;
    mark();
    if (found.result.found())
        offer(found.result);
}

void TempoOfferWiring::found(const QString& path, const TempoResult& result)
{
    // A detection begun before another song opened says nothing of this one.
    if (path != m_window.m_session.musicPath())
        return;
    m_known = result;
    mark();
}

void TempoOfferWiring::offer(const TempoResult& result)
{
    QLocale locale = m_window.services().locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    // The texts the tempo dialog would put in its boxes for the same result.
    m_tempoText = locale.toString(result.bpm, 'f', 2);
    m_offsetText = offsetText(result);
    // Short, to fit the strip; the tip says it whole.
    QString text = tr("Tempo %1, offset %2").arg(m_tempoText, m_offsetText);
    QString tip = tr("Tempo found: %1 BPM, offset %2. Use it puts them in the window.")
                      .arg(m_tempoText, m_offsetText);
    if (!result.sure()) {
        text += QLatin1Char(' ') + tr("(not sure)");
        tip += QLatin1Char(' ') + tr("Not sure: check with the metronome.");
    }
    if (!result.constant)
        tip += QLatin1Char(' ') + tr("The tempo drifts in places, marked on the strip above: "
                                     "one tempo will not hold there.");
    m_tip = tip;
    m_strip.offerTempo(text, tip);
}

void TempoOfferWiring::use()
{
    if (!m_strip.tempoOffered())
        return;
    const QString refused = m_window.applyTempoTexts(m_tempoText, m_offsetText);
    if (!refused.isEmpty()) {
        m_strip.offerTempo(refused, refused + QLatin1Char(' ') + m_tip);
        return;
    }
    m_strip.hideTempoOffer();
}

void TempoOfferWiring::dismiss()
{
    m_strip.hideTempoOffer();
}

void TempoOfferWiring::mark()
{
    std::vector<OverviewStrip::SongStretch> stretches;
    if (m_known && !m_known->constant)
        for (const OffGridStretch& s : m_known->offGrid)
            stretches.push_back({s.startMs, s.endMs});
    m_window.overview().markStretches(std::move(stretches));
}

} // namespace tavix
