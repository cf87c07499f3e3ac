#include "TempoDialog.h"

#include "WindowHeightFit.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace tavix {

namespace {

// Song time as m:ss, the way the window's time counter shows it.
QString songTime(double ms)
{
    const auto seconds = int64_t(std::max(0.0, ms) / 1000.0);
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

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
    m_drift.setWordWrap(true);
    m_drift.hide();
    m_detectOnOpen.setText(tr("Detect the tempo when a song opens"));
    m_detectOnOpen.setChecked(m_host.detectOnOpen);
    m_detectOnOpen.setVisible(bool(m_host.detectOnOpenChanged));
    // Space taps wherever the focus is, so no button may take it.
    for (QPushButton* b : {&m_detect, &m_cancel, &m_tapPad, &m_apply, &m_close}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    m_detectOnOpen.setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < MaxCandidates; ++i) {
        QRadioButton& choice = m_candidate[size_t(i)];
        choice.setFocusPolicy(Qt::NoFocus);
        choice.hide();
        m_candidateGroup.addButton(&choice, i);
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
    for (QRadioButton& choice : m_candidate)
        layout->addWidget(&choice);
    layout->addWidget(&m_drift);
    layout->addWidget(&m_tapPad);
    layout->addWidget(&m_tapText);
    auto* boxes = new QGridLayout;
    boxes->addWidget(new QLabel(tr("Tempo to apply:"), this), 0, 0);
    boxes->addWidget(&m_tempoBox, 0, 1);
    boxes->addWidget(new QLabel(tr("Offset to apply:"), this), 1, 0);
    boxes->addWidget(&m_offsetBox, 1, 1);
    layout->addLayout(boxes);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(&m_detectOnOpen);
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
    connect(&m_candidateGroup, &QButtonGroup::idClicked, this, &TempoDialog::chooseCandidate);
    connect(&m_detectOnOpen, &QCheckBox::toggled, this, [this](bool on) {
        if (m_host.detectOnOpenChanged)
            m_host.detectOnOpenChanged(on);
    });

    const QString song = m_host.songPath ? m_host.songPath() : QString();
    if (m_host.known && !song.isEmpty()) {
        m_song = QFileInfo(song).fileName();
        showResult(*m_host.known);
    }
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
    m_songPath = path;
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
    showResult(found.result);
    if (m_host.found)
        m_host.found(m_songPath, found.result);
}

void TempoDialog::showResult(const TempoResult& r)
{
    m_progress.setValue(100);
    m_foundConfidence.setText(QString::number(r.confidence, 'f', 2));
    showCandidates(r.found() ? r.candidates : std::vector<TempoCandidate>{});
    showDrift(r);
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
    if (r.sure())
        m_status.setText(
            tr("Found in %1. Apply puts the tempo and offset in the window.").arg(m_song));
    else
        m_status.setText(m_candidates.size() > 1
                             ? tr("Not sure: check with the metronome. One of the other "
                                  "readings below may be the beat.")
                             : tr("Not sure: check with the metronome."));
}

void TempoDialog::showCandidates(const std::vector<TempoCandidate>& candidates)
{
    m_candidates.assign(candidates.begin(),
                        candidates.begin() +
                            std::min<ptrdiff_t>(ptrdiff_t(candidates.size()), MaxCandidates));
    for (int i = 0; i < MaxCandidates; ++i) {
        QRadioButton& choice = m_candidate[size_t(i)];
        if (i >= candidatesShown()) {
            choice.hide();
            continue;
        }
        const TempoCandidate& c = m_candidates[size_t(i)];
        choice.setText(tr("%1 BPM, offset %2 (score %3)")
                           .arg(tempoText(c.bpm), offsetText(c))
                           .arg(c.score, 0, 'f', 2));
        choice.show();
    }
    // The first is the answer, and chosen until the user picks another.
    if (!m_candidates.empty())
        m_candidate[0].setChecked(true);
}

void TempoDialog::showDrift(const TempoResult& r)
{
    if (r.constant || !r.found()) {
        m_drift.hide();
        m_drift.clear();
        return;
    }
    QStringList stretches;
    for (const OffGridStretch& s : r.offGrid)
        stretches << QStringLiteral("%1\u2013%2").arg(songTime(s.startMs), songTime(s.endMs));
    QString text = tr("The tempo drifts in places: one tempo will not hold there.");
    if (!stretches.isEmpty())
        text +=
            QLatin1Char(' ') + tr("Off the beat: %1.").arg(stretches.join(QStringLiteral(", ")));
    m_drift.setText(text);
    m_drift.show();
}

void TempoDialog::chooseCandidate(int index)
{
    if (index < 0 || index >= candidatesShown())
        return;
    const TempoCandidate& c = m_candidates[size_t(index)];
    m_candidate[size_t(index)].setChecked(true);
    m_tempoBox.setText(tempoText(c.bpm));
    m_offsetBox.setText(offsetText(c));
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
