// Music, playback and drawing: opening a song, what the playback session tells the window
// to show, and the redraws of the idle window.
#include "KE.h"

#include "KeyCanvas.h"
#include "OverviewStrip.h"
#include "Rounding.h"
#include "SongOpening.h"
#include "TempoOfferWiring.h"

#include <algorithm>

namespace tavix {

QString KE::PosString(int64_t Pos) const
{
    return KeP::MstoMin(Pos) + QLatin1Char('/') + KeP::MstoMin(m_session.songLenMs());
}

void KE::showCounters(int32_t ms)
{
    cPos().setText(PosString(ms));
    cBeat().setText(m_kep.beatCounter(ms));
}

void KE::OpenMusic()
{
    if (m_session.playing())
        return;
    if (!mayLeaveChart(tr("Save them before opening a song?")))
        return;
    if (const auto chosen = SongOpening::choose(m_services.chooser, this, m_startFolder.current()))
        openMusicFile(chosen->path, chosen->title);
}

bool KE::openMusicFile(const QString& path, const QString& title, bool askBeforeCutting)
{
    if (m_session.playing() || closing())
        return false;
    // The new song is opened and checked before anything of the old one is let go, so a
    // failure leaves the song, the chart and the counters as they were.
    const std::optional<OpenedSong> song =
        SongOpening::open(sound(), m_services.messages, this, m_services.locale, m_kep, path,
                          sBpm().text(), askBeforeCutting);
    if (!song)
        return false;
    m_session.setMusic(song->stream, song->lengthMs, path);
    showListening();
    m_startFolder.remember(path);
    MSeteD().setText(title);
    m_display.setPeaks(sound().waveformPeaks(song->stream));
    overview().setPeaks(m_display.peaks());
    m_kep.BeatRate = song->rate;
    // A shorter song cuts the chart: the cells it drops are kept in the step.
    m_document.change(QStringLiteral("Open Song"),
                      [&](ChartEdit& edit) { edit.resizeCells(song->cells); });
    cPos().setText(PosString(0));
    cBeat().setText(m_kep.beatCounterAtStart());
    m_display.initialise();
    setTimeBarLength(song->lengthMs);
    TimeSet().setValue(0);
    renderFrame(0, m_session.cursorMs(), false);
    if (m_tempoOffer)
        m_tempoOffer->songOpened();
    m_decoding.update();
    LoopRender();
    return true;
}

void KE::setTimeBarLength(int32_t songLenMs)
{
    // The bar counts in steps of 100 ms.
    TimeSet().setMaximum(std::max(0, nearestInt32(double(songLenMs) / 100.0)));
}

void KE::LoopRender()
{
    if (m_frames.loopRunning())
        return;
    m_frames.startLoop();
    scheduleFrame();
}

void KE::PlayPause()
{
    disarmAutoSpace();
    m_session.playPause();
}

void KE::StopPlayback()
{
    disarmAutoSpace();
    m_session.stop();
}

void KE::runChanged(PlaybackSession::RunChange change)
{
    const bool moving = m_session.moving();
    c().toolbar->showPause(moving);
    c().toolbar->enableOpening(!m_session.playing());
    if (change == PlaybackSession::RunChange::Stopped) {
        cPos().setText(PosString(0));
        cBeat().setText(m_kep.beatCounterAtStart());
    }
    if (change == PlaybackSession::RunChange::Ended)
        m_view.runEnded();
    if (moving) {
        m_frames.startTicks(m_frameHz);
    } else {
        m_frames.stopTicks();
        scheduleFrame();
    }
}

void KE::passDone(int32_t playMs, bool moving)
{
    if (moving)
        showCounters(playMs);
    renderFrame(TimeSet().value(), playMs, moving);
}

void KE::recordingTaken(ChartChange keys)
{
    m_document.record(QStringLiteral("Record"), std::move(keys));
}

void KE::timeSetChanged()
{
    renderFrame(TimeSet().value(), m_session.playMs(), false);
    m_gestures.viewMoved();
    scheduleFrame();
}

void KE::renderFrame(int32_t ms, int32_t curMs, bool GoP)
{
    m_display.render(ms, curMs, GoP, LeadMs());
    refreshOverview();
}

void KE::scheduleFrame()
{
    if (closing() || m_session.moving())
        return; // the frame tick draws
    if (!m_session.playing() && !m_frames.loopRunning())
        return; // nothing is shown before a song or a chart is opened
    m_frames.request();
}

void KE::drawIdleFrame()
{
    if (closing())
        return;
    if (m_session.playing()) {
        if (m_session.paused())
            playbackPass();
        return;
    }
    if (m_frames.loopRunning())
        renderFrame(TimeSet().value(), m_session.cursorMs(), false);
}

void KE::chartFitted(std::optional<ChartChange> step)
{
    if (step)
        m_document.recordKeepingSaved(QStringLiteral("Song Length"), std::move(*step));
    else
        chartChanged(); // went into the keys being recorded
}

void KE::songLengthLearned(int32_t songLenMs)
{
    m_display.initialise();
    setTimeBarLength(songLenMs);
    showCounters(m_session.playing() ? m_session.playMs() : m_session.cursorMs());
    scheduleFrame();
}

// The display asks this only when set up for another count of cells than the chart's,
// which the window never does; should it, the change is a step like any other.
bool KE::fitChart(int32_t TotalB)
{
    bool fitted = false;
    m_document.change(QStringLiteral("Fit Chart"),
                      [&](ChartEdit& edit) { fitted = edit.resizeCells(TotalB); });
    return fitted;
}

} // namespace tavix
