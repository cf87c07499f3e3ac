#pragma once

#include "BackgroundRun.h"
#include "SongTempo.h"

#include <QObject>
#include <QString>

#include <optional>

namespace tavix {

class KE;
struct ChartingStrip;

// The tempo offered when a song opens: once the song is decoded its tempo is detected off
// the window thread, and what was found is offered in the strip, applied only when the
// user asks, through the tempo dialog's own Apply. Where the beat drifts from one grid
// the overview strip marks it, for this song only. The detection is given up when another
// song opens or the window closes; without a detection in the services, or when the user
// turned it off (kept with the settings), none runs.
class TempoOfferWiring : public QObject
{
    Q_OBJECT
public:
    TempoOfferWiring(KE& window, ChartingStrip& strip);
    ~TempoOfferWiring() override;

    // A song was opened: what was found for the one before goes.
    void songOpened();
    // The song open now is decoded: its detection starts, once.
    void songDecoded();
    // The window closes: a detection going on is given up.
    void stop();
    bool detecting() const { return m_running != 0; }

    // What was found for the song open now, by this or by the tempo dialog.
    const std::optional<TempoResult>& known() const { return m_known; }
    // The tempo dialog found `result` in the song at `path`; kept while that song is open.
    void found(const QString& path, const TempoResult& result);

    bool detectOnOpen() const;
    void setDetectOnOpen(bool on);

    // The strip's buttons: applies the offer (refused while playing, the reason shown), or
    // puts it away.
    void use();
    void dismiss();

private:
    void ended(int run, const SongTempo& found);
    void offer(const TempoResult& result);
    void mark();

    KE& m_window;
    ChartingStrip& m_strip;
    std::optional<TempoResult> m_known;
    QString m_tempoText;
    QString m_offsetText;
    QString m_tip;        // the offer in full
    bool m_armed = false; // a song opened and not yet detected
    int m_run = 0;
    int m_running = 0; // that run while it has not answered
    BackgroundRun m_detection;
};

} // namespace tavix
