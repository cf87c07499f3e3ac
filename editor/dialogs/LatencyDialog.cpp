#include "LatencyDialog.h"

#include "KeyInput.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavix {

const char* const LatencyDialog::SettingsKey = "audio/calibratedLatencyMs";

namespace {

constexpr uint8_t Keypad5 = 0x4C;
constexpr int TrackRate = 44100;

// A WAV file in memory holding `ms` of mono silence: the click track's timeline, over
// which the clicks are placed to the sample.
QByteArray silentWav(double ms)
{
    const auto frames = static_cast<uint32_t>(std::ceil(ms * TrackRate / 1000.0));
    const uint32_t dataBytes = frames * 2;
    QByteArray wav(int(44 + dataBytes), '\0');
    char* p = wav.data();
    auto put32 = [&p](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            *p++ = char((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&p](uint16_t v) {
        *p++ = char(v & 0xFF);
        *p++ = char(v >> 8);
    };
    auto tag = [&p](const char* t) {
        std::memcpy(p, t, 4);
        p += 4;
    };
    tag("RIFF");
    put32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(TrackRate);
    put32(TrackRate * 2);
    put16(2);
    put16(16);
    tag("data");
    put32(dataBytes);
    return wav;
}

// The keypad 5 presses among those the keyboard has seen; the others are let go.
class Keypad5Presses : public LatencyCalibration::PressSource
{
public:
    explicit Keypad5Presses(KeyInput& keyboard) : m_keyboard(keyboard) {}

    std::vector<LatencyCalibration::Clock::time_point> takePresses() override
    {
        std::vector<LatencyCalibration::Clock::time_point> out;
        for (const KeyPress& press : m_keyboard.takePresses())
            if (press.code == Keypad5)
                out.push_back(press.when);
        return out;
    }

private:
    KeyInput& m_keyboard;
};

} // namespace

LatencyDialog::LatencyDialog(SoundEngine& engine, KeyInput& keyboard,
                             std::vector<StreamHandle> clickSounds, SettingsFactory settings,
                             QWidget* parent)
    : QDialog(parent), m_engine(engine), m_keyboard(keyboard),
      m_clickSounds(std::move(clickSounds)), m_settings(std::move(settings))
{
    setWindowTitle(tr("Latency Calibration"));
    if (m_settings)
        if (auto s = m_settings())
            m_savedMs = savedLatencyMs(*s);

    m_intro.setWordWrap(true);
    m_intro.setText(tr("Press Start: %1 clicks play, one on every beat at %2 BPM. Press "
                       "keypad 5 with each click as you hear it. The sound takes a while to "
                       "reach your ears; this measures how long, so that the position and "
                       "live recording match what you hear.")
                        .arg(m_calibration.beats())
                        .arg(LatencyCalibration::DefaultBpm));
    m_inUse.setWordWrap(true);
    const QString inUse =
        tr("Latency in use: %1 ms, of which %2 ms calibrated.")
            .arg(m_engine.outputLatencyMs(), 0, 'f', 1)
            .arg(m_engine.calibratedLatencyApplies() ? m_savedMs : 0.0, 0, 'f', 1);
    m_inUse.setText(m_engine.calibratedLatencyApplies()
                        ? inUse
                        : inUse + QLatin1Char(' ') +
                              tr("This output does not use a calibrated latency (it writes to "
                                 "a file, plays silently, or TAVIX_AUDIO_LATENCY sets it); a "
                                 "result is kept for when it does."));
    m_presses.setMinimumHeight(200);
    m_resultText.setWordWrap(true);
    m_resultText.setText(tr("No presses yet."));
    m_start.setText(tr("&Start"));
    m_save.setText(tr("&Save"));
    m_save.setEnabled(false);
    m_close.setText(tr("&Close"));
    // Keypad keys reach the dialog itself, never a button.
    for (QPushButton* b : {&m_start, &m_save, &m_close}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&m_intro);
    layout->addWidget(&m_inUse);
    layout->addWidget(&m_presses, 1);
    layout->addWidget(&m_resultText);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(&m_start);
    buttons->addStretch(1);
    buttons->addWidget(&m_save);
    buttons->addWidget(&m_close);
    layout->addLayout(buttons);
    resize(440, 460);

    connect(&m_start, &QPushButton::clicked, this, &LatencyDialog::start);
    connect(&m_save, &QPushButton::clicked, this, &LatencyDialog::save);
    connect(&m_close, &QPushButton::clicked, this, &QDialog::reject);
    m_tick.setInterval(15);
    connect(&m_tick, &QTimer::timeout, this, &LatencyDialog::tick);

    // Made now, not at Start: decoding it (and resampling, for a device at another rate)
    // takes a moment that would otherwise delay the first click after the press of Start.
    m_trackBlock = silentWav(m_calibration.trackMs());
    m_track = m_engine.FSOUND_Stream_Open(m_trackBlock.constData(), FSOUND_MEMORY_MODE, 0,
                                          int(m_trackBlock.size()));
}

LatencyDialog::~LatencyDialog()
{
    stopTrack();
    if (m_track != 0)
        m_engine.FSOUND_Stream_Close(m_track);
}

double LatencyDialog::savedLatencyMs(QSettings& settings)
{
    bool ok = false;
    const double ms = settings.value(QLatin1String(SettingsKey), 0.0).toDouble(&ok);
    return ok && std::isfinite(ms) ? std::clamp(ms, 0.0, LatencyCalibration::MaxLatencyMs) : 0.0;
}

double LatencyDialog::latencyInUseMs() const
{
    // The engine adds the calibrated latency only where the output uses it; the presses
    // are measured against what it uses.
    return m_engine.calibratedLatencyApplies() ? m_savedMs : 0.0;
}

double LatencyDialog::proposedLatencyMs() const
{
    return LatencyCalibration::nextLatencyMs(latencyInUseMs(), m_result);
}

void LatencyDialog::start()
{
    stopTrack();
    if (m_track == 0 || m_clickSounds.empty()) {
        m_resultText.setText(tr("The clicks cannot play: %1").arg(m_engine.lastError()));
        return;
    }
    m_calibration.clear();
    m_result = {};
    m_shownPresses = -1;
    showPresses(m_result);
    for (int beat = 0; beat < m_calibration.beats(); ++beat) {
        const size_t slot = size_t(beat) % m_clickSounds.size();
        m_engine.FSOUND_Stream_PlayAt(int(slot), m_clickSounds[slot], m_track,
                                      m_calibration.clickMs(beat));
    }
    m_keyboard.takePresses(); // what was pressed before the clicks is no answer to them
    m_engine.FSOUND_Stream_Play(MusicChannel, m_track);
    m_start.setText(tr("&Restart"));
    m_save.setEnabled(false);
    m_resultText.setText(tr("Listening: press keypad 5 with every click."));
    m_tick.start();
    setFocus();
}

void LatencyDialog::tick()
{
    if (m_track == 0)
        return;
    Keypad5Presses source(m_keyboard);
    m_calibration.collect(source, [this](LatencyCalibration::Clock::time_point when) {
        return m_engine.streamTimeAt(m_track, when);
    });
    if (m_calibration.pressCount() != m_shownPresses)
        showPresses(m_calibration.result());
    if (m_calibration.over(m_engine.streamTimeExact(m_track)) || !m_engine.isPlaying(m_track))
        finish();
}

void LatencyDialog::finish()
{
    stopTrack();
    m_result = m_calibration.result();
    showPresses(m_result);
    if (m_result.valid) {
        m_resultText.setText(
            tr("Presses come %1 ms after the clicks (median of %2, spread %3 ms). Latency to "
               "use: %4 ms. Save keeps it.")
                .arg(m_result.medianMs, 0, 'f', 1)
                .arg(m_result.kept)
                .arg(m_result.spreadMs, 0, 'f', 1)
                .arg(proposedLatencyMs(), 0, 'f', 1));
        m_save.setEnabled(true);
    } else if (m_result.kept < LatencyCalibration::MinimumPresses) {
        m_resultText.setText(tr("Only %1 presses matched the clicks; at least %2 are needed. "
                                "Press Restart to try again.")
                                 .arg(m_result.kept)
                                 .arg(LatencyCalibration::MinimumPresses));
    } else {
        m_resultText.setText(tr("The presses are too far apart to measure anything (spread %1 "
                                "ms, at most %2 ms). Press Restart to try again.")
                                 .arg(m_result.spreadMs, 0, 'f', 1)
                                 .arg(LatencyCalibration::MaxSpreadMs));
    }
}

void LatencyDialog::showPresses(const LatencyCalibration::Result& r)
{
    m_presses.clear();
    for (const LatencyCalibration::Press& p : r.presses) {
        // Each click has one line; a press meant for none is not listed as its click's.
        QString line = p.extra ? tr("Extra press, %2 ms from click %1  (left out)")
                                     .arg(p.beat + 1)
                                     .arg(p.errorMs, 0, 'f', 1)
                               : tr("Click %1: %2 ms").arg(p.beat + 1, 2).arg(p.errorMs, 7, 'f', 1);
        if (p.dropped && !p.extra)
            line += tr("  (left out)");
        m_presses.addItem(line);
    }
    m_presses.scrollToBottom();
    m_shownPresses = int(r.presses.size());
}

void LatencyDialog::stopTrack()
{
    m_tick.stop();
    if (m_track != 0) {
        m_engine.FSOUND_Stream_Stop(m_track);
        m_engine.FSOUND_Stream_CancelScheduled(m_track);
    }
}

void LatencyDialog::save()
{
    if (!m_result.valid)
        return;
    const double ms = proposedLatencyMs();
    if (m_settings)
        if (auto s = m_settings())
            s->setValue(QLatin1String(SettingsKey), ms);
    m_engine.setCalibratedLatencyMs(ms);
    accept();
}

void LatencyDialog::done(int result)
{
    stopTrack();
    QDialog::done(result);
}

bool LatencyDialog::forwardKeypad(QKeyEvent* event, bool down)
{
    // Where the keyboard is read from the window's own events, the dialog's are passed on.
    if (!keypadCode(*event))
        return false;
    if (!event->isAutoRepeat())
        m_keyboard.windowKeyEvent(*event, down);
    event->accept();
    return true;
}

void LatencyDialog::keyPressEvent(QKeyEvent* event)
{
    if (!forwardKeypad(event, true))
        QDialog::keyPressEvent(event);
}

void LatencyDialog::keyReleaseEvent(QKeyEvent* event)
{
    if (!forwardKeypad(event, false))
        QDialog::keyReleaseEvent(event);
}

} // namespace tavix
