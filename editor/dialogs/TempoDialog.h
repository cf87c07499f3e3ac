#pragma once

#include "BackgroundRun.h"
#include "SongTempo.h"
#include "TapTempo.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <functional>
#include <optional>

namespace tavix {

// The tempo dialog: detects the song's tempo and offset off the window thread, takes a
// tempo from taps (a click on the pad or Space), and on Apply hands the tempo and offset
// texts to the window, which commits them as the user's own. Until then nothing changes.
// A detection's other readings are offered as choices, each with its own offset, and where
// the song's beat drifts from one grid the dialog says so and lists the stretches.
class TempoDialog : public QDialog
{
    Q_OBJECT
public:
    using Detection = std::function<SongTempo(const QString& path, const TempoOptions& options,
                                              const std::stop_token& stop,
                                              const TempoDetector::Progress& progress)>;

    // What the dialog needs from the window.
    struct Host
    {
        std::function<QString()> songPath; // the song open now, empty for none
        Detection detect;                  // unset: only taps
        // Commits the texts; empty when done, else why it was refused.
        std::function<QString(const QString& tempo, const QString& offset)> apply;
        QLocale locale;
        QString tempoText; // the boxes' texts now
        QString offsetText;
        // What was found for the song open now, shown at once without detecting again.
        std::optional<TempoResult> known;
        // Told what a detection here found in the song at `path`.
        std::function<void(const QString& path, const TempoResult&)> found;
        // Whether the window detects on its own when a song opens; unset: not asked here.
        bool detectOnOpen = true;
        std::function<void(bool)> detectOnOpenChanged;
    };

    static constexpr int MaxCandidates = 3;

    explicit TempoDialog(Host host, QWidget* parent = nullptr);
    ~TempoDialog() override;

    void detect();
    void cancelDetection();
    bool detecting() const { return m_running != 0; }
    // A tap at `ms` of the dialog's clock (the pad and Space tap now).
    void tap(double ms);
    void apply();
    // Puts candidate `index`'s tempo and offset in the boxes to apply.
    void chooseCandidate(int index);
    int candidatesShown() const { return int(m_candidates.size()); }

    QPushButton& detectButton() { return m_detect; }
    QPushButton& cancelButton() { return m_cancel; }
    QPushButton& applyButton() { return m_apply; }
    QPushButton& tapPad() { return m_tapPad; }
    QProgressBar& progressBar() { return m_progress; }
    QLabel& statusLabel() { return m_status; }
    QLabel& detectedTempo() { return m_foundTempo; }
    QLabel& detectedOffset() { return m_foundOffset; }
    QLabel& detectedConfidence() { return m_foundConfidence; }
    QLabel& tapLabel() { return m_tapText; }
    QLineEdit& tempoBox() { return m_tempoBox; }
    QLineEdit& offsetBox() { return m_offsetBox; }
    QRadioButton& candidateButton(int index) { return m_candidate[size_t(index)]; }
    QLabel& driftLabel() { return m_drift; }
    QCheckBox& detectOnOpenBox() { return m_detectOnOpen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void detectionEnded(int run, const SongTempo& found);
    void detectionStopped();
    void showResult(const TempoResult& r);
    void showCandidates(const std::vector<TempoCandidate>& candidates);
    void showDrift(const TempoResult& r);
    QString tempoText(double bpm) const;

    Host m_host;
    TapTempo m_taps;
    QElapsedTimer m_clock;
    int m_run = 0;     // the detection run whose answers count
    int m_running = 0; // that run while it has not answered
    QString m_song;
    QString m_songPath; // the song detected last

    QPushButton m_detect;
    QPushButton m_cancel;
    QProgressBar m_progress;
    QLabel m_status;
    QLabel m_foundTempo;
    QLabel m_foundOffset;
    QLabel m_foundConfidence;
    std::vector<TempoCandidate> m_candidates;
    std::array<QRadioButton, MaxCandidates> m_candidate;
    QButtonGroup m_candidateGroup;
    QLabel m_drift;
    QPushButton m_tapPad;
    QLabel m_tapText;
    QLineEdit m_tempoBox;
    QLineEdit m_offsetBox;
    QPushButton m_apply;
    QPushButton m_close;
    QCheckBox m_detectOnOpen;
    // A run given up is never waited for: it ends on its own, and what it reports after
    // the dialog has gone is dropped.
    BackgroundRun m_detection;
};

} // namespace tavix
