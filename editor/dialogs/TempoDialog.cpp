#include "TempoDialog.h"

#include "WindowHeightFit.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace tavix {

TempoDialog::TempoDialog(Host host, QWidget* parent) : QDialog(parent), m_host(std::move(host))
{
    setWindowTitle(tr("Tempo"));
    m_host.locale.setNumberOptions(QLocale::OmitGroupSeparator);
    m_clock.start();

    m_detect.setText(tr("&Detect"));
    m_cancel.setText(tr("Cancel"));
    m_cancel.setEnabled(false);
    m_progress.setRange(0, 100);
    m_progress.setValue(0);
    m_status.setWordWrap(true);
    m_status.setText(tr("Detect finds the tempo and the offset of the song; or tap the beat."));
    m_tapPad.setText(tr("Tap here or press Space on every beat"));
    m_tapPad.setMinimumHeight(70);
    m_tapText.setText(tr("No taps yet."));
    m_tempoBox.setText(m_host.tempoText);
    m_offsetBox.setText(m_host.offsetText);
    m_apply.setText(tr("&Apply"));
    m_close.setText(tr("&Close"));
    // Space taps wherever the focus is, so no button may take it.
    for (QPushButton* b : {&m_detect, &m_cancel, &m_tapPad, &m_apply, &m_close}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    setFocusPolicy(Qt::StrongFocus);
    for (QObject* o : std::initializer_list<QObject*>{this, &m_tempoBox, &m_offsetBox})
        o->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    auto* detection = new QHBoxLayout;
    detection->addWidget(&m_detect);
    detection->addWidget(&m_cancel);
    detection->addWidget(&m_progress, 1);
    layout->addLayout(detection);
    layout->addWidget(&m_status);
    auto* found = new QGridLayout;
    found->addWidget(new QLabel(tr("Detected tempo:"), this), 0, 0);
    found->addWidget(&m_foundTempo, 0, 1);
    found->addWidget(new QLabel(tr("Offset:"), this), 1, 0);
    found->addWidget(&m_foundOffset, 1, 1);
    found->addWidget(new QLabel(tr("Confidence:"), this), 2, 0);
    found->addWidget(&m_foundConfidence, 2, 1);
    found->setColumnStretch(1, 1);
    layout->addLayout(found);
    layout->addWidget(&m_tapPad);
    layout->addWidget(&m_tapText);
    auto* boxes = new QGridLayout;
    boxes->addWidget(new QLabel(tr("Tempo to apply:"), this), 0, 0);
    boxes->addWidget(&m_tempoBox, 0, 1);
    boxes->addWidget(new QLabel(tr("Offset to apply:"), this), 1, 0);
    boxes->addWidget(&m_offsetBox, 1, 1);
    layout->addLayout(boxes);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(&m_apply);
    buttons->addWidget(&m_close);
    layout->addLayout(buttons);
    // The status and tap lines wrap: rows keep their height whatever the texts.
    new WindowHeightFit(*this);
    resize(420, 0);

    connect(&m_detect, &QPushButton::clicked, this, &TempoDialog::detect);
    connect(&m_cancel, &QPushButton::clicked, this, &TempoDialog::cancelDetection);
    // The press is the tap, not the release that follows it.
    connect(&m_tapPad, &QPushButton::pressed, this, [this] { tap(double(m_clock.elapsed())); });
    connect(&m_apply, &QPushButton::clicked, this, &TempoDialog::apply);
    connect(&m_close, &QPushButton::clicked, this, &QDialog::reject);
}

TempoDialog::~TempoDialog() = default;

QString TempoDialog::tempoText(double bpm) const
{
    // The tempo box reads the locale's numbers.
    return m_host.locale.toString(bpm, 'f', 2);
}

void TempoDialog::detect()
{
    if (detecting())
        return;
    const QString path = m_host.songPath ? m_host.songPath() : QString();
    if (path.isEmpty()) {
        m_status.setText(tr("No song is open: open one first (Ctrl+M), then Detect."));
        return;
    }
    if (!m_host.detect) {
        m_status.setText(tr("Tempo detection is not available here; tap the beat instead."));
        return;
    }
    // A cancelled run may still be winding down; it answers nothing any more.
    m_song = QFileInfo(path).fileName();
    const int run = ++m_run;
    m_running = run;
    m_progress.setValue(0);
    m_detect.setEnabled(false);
    m_cancel.setEnabled(true);
    m_status.setText(tr("Listening to %1...").arg(m_song));
    const QPointer<QObject> self(this);
    m_detection.start([self, run, path, detect = m_host.detect](const std::stop_token& stop) {
        int shown = -1;
        const SongTempo found = detect(path, TempoOptions{}, stop, [&](double fraction) {
            const int percent = int(fraction * 100.0);
            if (percent == shown)
                return;
            shown = percent;
            BackgroundRun::post(self, [self, run, percent] {
                auto* dialog = static_cast<TempoDialog*>(self.data());
                if (run == dialog->m_running)
                    dialog->m_progress.setValue(percent);
            });
        });
        BackgroundRun::post(self, [self, run, found] {
            static_cast<TempoDialog*>(self.data())->detectionEnded(run, found);
        });
    });
}

void TempoDialog::cancelDetection()
{
    if (!detecting())
        return;
    m_detection.stop();
    detectionStopped();
    m_status.setText(tr("Detection cancelled."));
}

void TempoDialog::detectionStopped()
{
    m_running = 0;
    m_detect.setEnabled(true);
    m_cancel.setEnabled(false);
}

void TempoDialog::detectionEnded(int run, const SongTempo& found)
{
    if (run != m_running)
        return;
    detectionStopped();
    switch (found.status) {
    case SongTempo::Status::Cancelled:
        m_status.setText(tr("Detection cancelled."));
        return;
    case SongTempo::Status::Unreadable:
        m_status.setText(tr("%1 cannot be analysed: %2").arg(m_song, found.reason));
        return;
    case SongTempo::Status::Done:
        break;
    }
    m_progress.setValue(100);
    const TempoResult& r = found.result;
    m_foundConfidence.setText(QString::number(r.confidence, 'f', 2));
    if (!r.found()) {
        m_foundTempo.setText(tr("none"));
        m_foundOffset.setText(tr("none"));
        m_status.setText(tr("No steady beat was heard in %1; tap it instead.").arg(m_song));
        return;
    }
    m_foundTempo.setText(tr("%1 BPM").arg(tempoText(r.bpm)));
    m_foundOffset.setText(offsetText(r));
    m_tempoBox.setText(tempoText(r.bpm));
    m_offsetBox.setText(offsetText(r));
    m_status.setText(
        r.confidence >= SureConfidence
            ? tr("Found in %1. Apply puts the tempo and offset in the window.").arg(m_song)
            : tr("Found in %1, but the beat is uncertain: check it by ear before "
                 "you rely on it.")
                  .arg(m_song));
}

void TempoDialog::tap(double ms)
{
    const bool fresh = m_taps.expired(ms);
    m_taps.tap(ms);
    const std::optional<double> bpm = m_taps.bpm();
    if (!bpm) {
        m_tapText.setText(fresh && m_taps.taps() == 1
                              ? tr("1 tap: keep tapping (a pause of 2 s starts over).")
                              : tr("Taps at one moment give no tempo."));
        return;
    }
    m_tapText.setText(tr("%1 taps: %2 BPM").arg(m_taps.taps()).arg(tempoText(*bpm)));
    m_tempoBox.setText(tempoText(*bpm));
}

void TempoDialog::apply()
{
    // The window checks the texts as its boxes would, and refuses them while playing.
    const QString refused = m_host.apply ? m_host.apply(m_tempoBox.text(), m_offsetBox.text())
                                         : tr("There is no window to apply to.");
    m_status.setText(
        refused.isEmpty()
            ? tr("Applied: tempo %1, offset %2.").arg(m_tempoBox.text(), m_offsetBox.text())
            : refused);
}

bool TempoDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            if (!key->isAutoRepeat())
                tap(double(m_clock.elapsed()));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tavix
