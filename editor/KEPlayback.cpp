// Music, playback and drawing: opening a song, the playback pass that the frame tick
// runs, hit sounds queued ahead at their exact instants, live recording from the keypad,
// and the redraws of the idle window.
#include "KE.h"

#include "CellTiming.h"
#include "ChartHistory.h"
#include "ChartTail.h"
#include "FrameTick.h"
#include "KeyCanvas.h"
#include "KeyInput.h"
#include "MessageService.h"
#include "NumberReading.h"
#include "OpenFailureText.h"
#include "OverviewStrip.h"
#include "Rounding.h"
#include "TavixKey.h"
#include "cCommonDialog.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>

namespace tavix {

namespace {

const char* const OpenMusicTitle = "Open Music";

std::optional<int> rowOfKey(uint8_t code)
{
    for (const KeyRow& key : KeyToRow)
        if (key.code == code)
            return key.row;
    return std::nullopt;
}

// "2 keys and 1 marker"
QString marksText(const ChartTail::Marks& marks)
{
    QStringList parts;
    if (marks.keys > 0)
        parts << (marks.keys == 1 ? KE::tr("1 key") : KE::tr("%1 keys").arg(marks.keys));
    if (marks.markers > 0)
        parts << (marks.markers == 1 ? KE::tr("1 marker")
                                     : KE::tr("%1 markers").arg(marks.markers));
    return parts.join(KE::tr(" and "));
}

} // namespace

QString KE::PosString(int64_t Pos) const
{
    return KeP::MstoMin(Pos) + QLatin1Char('/') + KeP::MstoMin(m_state.SongLenMs);
}

double KE::LeadMs() const
{
    return double(m_kep.BeatRate) * m_state.OffsetVal;
}

CellTiming KE::currentTiming() const
{
    return CellTiming::of(m_kep.BeatRate, m_state.OffsetVal);
}

void KE::OpenMusic()
{
    if (m_state.IsPlaying)
        return;
    if (!mayLeaveChart(tr("Save them before opening a song?")))
        return;
    cCommonDialog dialog(m_services.chooser);
    dialog.DialogTitle = QStringLiteral("Open FIle");
    dialog.CancelError = true;
    dialog.hwnd = this;
    dialog.flags = 0x1800;
    dialog.InitDir = m_startFolder.current();
    dialog.Filter =
        QStringLiteral("Music File (*.Ogg,*.Mp3,*.Wav)|*.Ogg;*.Mp3;*.Wav|All Files (*.*)|*.*");
    dialog.FilterIndex = 1;
    if (!dialog.ShowOpen())
        return;
    openMusicFile(dialog.filename, dialog.FileTitle);
}

bool KE::openMusicFile(const QString& path, const QString& title, bool askBeforeCutting)
{
    if (m_state.IsPlaying || m_state.IsClosing)
        return false;
    SoundEngine& engine = sound();
    const QString shown = QFileInfo(path).fileName().isEmpty() ? path : QFileInfo(path).fileName();

    // The new song is opened and checked before anything of the old one is let go, so a
    // failure leaves the song, the chart and the counters as they were.
    const QByteArray encodedPath = path.toUtf8();
    StreamHandle stream = 0;
    try {
        stream = engine.FSOUND_Stream_Open(encodedPath.constData(), FSOUND_NORMAL, 0, 0);
    } catch (const std::bad_alloc&) {
        m_services.messages.warning(this, tr(OpenMusicTitle), OpenFailureText::songTooLarge(shown));
        return false;
    }
    if (stream == 0) {
        m_services.messages.warning(this, tr(OpenMusicTitle),
                                    OpenFailureText::song(shown, path, engine.lastError()));
        return false;
    }
    const int32_t songLenMs = engine.FSOUND_Stream_GetLengthMs(stream);
    const std::optional<float> tempo = tempoRate(m_services.locale, m_sBpm.text());
    if (!tempo) {
        engine.FSOUND_Stream_Close(stream);
        m_services.messages.warning(
            this, tr(OpenMusicTitle),
            tr("The music file \"%1\" was not opened: the tempo \"%2\" is not a number.")
                .arg(shown, m_sBpm.text()));
        return false;
    }
    const float rate = *tempo;
    const auto cells = nearestTo<int64_t>(double(rate) * double(songLenMs));
    if (!cells || *cells < 0 || *cells > KeP::MaxCells) {
        engine.FSOUND_Stream_Close(stream);
        m_services.messages.warning(
            this, tr(OpenMusicTitle),
            tr("The music file \"%1\" was not opened: at a tempo of %2 it needs more cells "
               "than a chart can hold (%3).")
                .arg(shown, m_sBpm.text())
                .arg(KeP::MaxCells));
        return false;
    }

    // A shorter song cuts the chart; what it would drop is the user's to give up.
    const ChartTail::Marks dropped = ChartTail::from(m_kep, *cells);
    if (askBeforeCutting && dropped.any() &&
        !m_services.messages.askToGoOn(
            this, tr(OpenMusicTitle),
            tr("%1 past the end of the song will be removed.").arg(marksText(dropped)) +
                QStringLiteral("\n\n") + tr("Open \"%1\" all the same?").arg(shown),
            tr("&Open and Remove"))) {
        engine.FSOUND_Stream_Close(stream);
        return false;
    }

    if (m_state.MusicStream != 0)
        engine.FSOUND_Stream_Close(m_state.MusicStream);
    m_state.MusicStream = stream;
    if (m_state.ratePercent != 100 && !engine.setPlaybackRate(stream, m_state.ratePercent))
        m_state.ratePercent = engine.playbackRate(stream);
    showListening();
    m_startFolder.remember(path);
    m_MSeteD.setText(title);
    m_peaks = engine.waveformPeaks(stream);
    m_overview->setPeaks(m_peaks);
    m_state.SongLenMs = songLenMs;
    m_musicPath = path;
    m_kep.BeatRate = rate;
    // A shorter song cuts the chart: the cells it drops are kept in the step.
    changeChart(QStringLiteral("Open Song"), [&](ChartEdit& edit) { edit.resizeCells(*cells); });
    m_cPos.setText(PosString(0));
    m_cBeat.setText(m_kep.beatCounterAtStart());
    try {
        renderer().Initialise(*m_Picture1, m_kep.TotalBeats);
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
    m_TimeSet.setMaximum(std::max(0, nearestInt32(double(songLenMs) / 100.0)));
    m_TimeSet.setValue(0);
    m_state.CursorMs = 0;
    renderFrame(0, m_state.CursorMs, false);
    updateDecodeProgress();
    LoopRender();
    return true;
}

void KE::LoopRender()
{
    if (m_state.LoopRunning)
        return;
    m_state.LoopRunning = true;
    scheduleFrame();
}

void KE::setPlayButton(bool showPause)
{
    PictureButton& button = NeC1(0);
    button.setToolTip(showPause ? QStringLiteral("暫停") : QStringLiteral("播放"));
    button.setPicture(iC(showPause ? 1 : 0).pixmap());
}

void KE::enableOpenButtons(bool enabled)
{
    NeC1(8).setEnabled(enabled);
    NeC1(9).setEnabled(enabled);
}

void KE::startFrameTick()
{
    m_frameTick.start(FrameTick::intervalMs(m_frameHz));
}

void KE::stopFrameTick()
{
    m_frameTick.stop();
}

void KE::PlayPause()
{
    disarmAutoSpace();
    if (m_state.MusicStream == 0)
        return;
    SoundEngine& engine = sound();
    const StreamHandle music = m_state.MusicStream;

    if (m_state.IsPlaying && m_state.IsPaused) {
        // Resume from the cursor, which a click on the canvas may have moved. The seek
        // comes before the start so that not a sample of the old position is heard.
        // Where the pause left it, the engine drops the hits it had already mixed.
        m_state.IsPaused = false;
        const bool goOn = m_state.CursorMs == m_state.pausedAtMs;
        engine.FSOUND_Stream_SetTime(music, nearestInt32(m_state.CursorMs - LeadMs()));
        setPlayButton(true);
        startMusic(goOn);
        if (m_state.IsPlaying && !m_state.IsPaused)
            startFrameTick();
        return;
    }
    if (m_state.IsPlaying) {
        // Pause: the chart position becomes the cursor; what is queued and not yet heard
        // is taken back.
        m_state.IsPaused = true;
        const double heard = engine.streamTimeExact(music);
        const int32_t t = engine.FSOUND_Stream_GetTime(music);
        m_state.CursorMs = nearestInt32(LeadMs() + t);
        m_state.pausedAtMs = m_state.CursorMs;
        engine.FSOUND_Stream_Stop(music);
        cancelPendingHits(heard);
        setPlayButton(false);
        stopFrameTick();
        flushRecording();
        scheduleFrame();
        return;
    }
    // Start, from wherever the stream stands.
    m_state.IsPlaying = true;
    setPlayButton(true);
    enableOpenButtons(false);
    m_state.LastSoundBeat = -1;
    // A song that has played to its end starts again from its beginning.
    if (engine.FSOUND_Stream_GetTime(music) >= engine.FSOUND_Stream_GetLengthMs(music))
        engine.FSOUND_Stream_SetTime(music, 0);
    startMusic();
    if (m_state.IsPlaying && !m_state.IsPaused)
        startFrameTick();
}

void KE::startMusic(bool goOn)
{
    // The first sounds are queued while the music still stands, so the cell under the
    // start is mixed with the music's very first frame rather than a buffer later.
    SoundEngine& engine = sound();
    const StreamHandle music = m_state.MusicStream;
    // A key let go while another client grabbed the keyboard must not stay down.
    m_Keyboard->resync();
    beginSegment(engine.FSOUND_Stream_GetTime(music));
    scheduleHitSounds();
    if (goOn)
        engine.FSOUND_Stream_Resume(MusicChannel, music);
    else
        engine.FSOUND_Stream_Play(MusicChannel, music);
    playbackPass();
}

void KE::StopPlayback()
{
    disarmAutoSpace();
    if (!m_state.IsPlaying)
        return;
    SoundEngine& engine = sound();
    m_state.IsPlaying = false;
    m_state.IsPaused = false;
    engine.FSOUND_Stream_Stop(m_state.MusicStream);
    m_state.pendingHits.clear();
    engine.FSOUND_Stream_CancelScheduled(m_state.MusicStream);
    m_state.CursorMs = 0;
    m_cPos.setText(PosString(0));
    m_cBeat.setText(m_kep.beatCounterAtStart());
    enableOpenButtons(true);
    setPlayButton(false);
    stopFrameTick();
    flushRecording();
    scheduleFrame();
}

void KE::finishPlayback()
{
    stopFrameTick();
    cancelPendingHits(sound().streamTimeExact(m_state.MusicStream));
    // A run can end while paused (the cursor moved past the end): the next play must
    // start a run that moves, not a paused one.
    m_state.IsPlaying = false;
    m_state.IsPaused = false;
    enableOpenButtons(true);
    setPlayButton(false);
    flushRecording();
    // The run ends with the end of the chart in view, not the empty end of the song.
    if (m_TimeSet.value() > lastViewValue())
        m_TimeSet.setValue(lastViewValue());
    scheduleFrame();
}

void KE::beginSegment(int64_t startMusicMs)
{
    m_state.pendingHits.clear();
    m_state.hitPlanner.beginSegment(currentTiming(), startMusicMs, m_state.LastSoundBeat);
    m_state.segmentMoment = m_services.now();
    // Presses made before this stretch of playback (while stopped or paused) record
    // nothing; a key still held now shows as an edge in the first snapshot instead.
    m_Keyboard->takePresses();
    m_state.unmatchedPresses.fill(0);
}

void KE::cancelPendingHits(double heardThroughMs)
{
    auto& pending = m_state.pendingHits;
    const auto firstUnheard =
        std::find_if(pending.begin(), pending.end(),
                     [&](const PendingHit& h) { return double(h.musicMs) > heardThroughMs; });
    if (firstUnheard != pending.end()) {
        m_state.LastSoundBeat = firstUnheard->lastSoundBeatBefore;
        m_state.SoundSlot = firstUnheard->soundSlotBefore;
    }
    pending.clear();
    sound().FSOUND_Stream_CancelScheduled(m_state.MusicStream);
}

void KE::scheduleHitSounds()
{
    SoundEngine& engine = sound();
    const StreamHandle music = m_state.MusicStream;
    const CellTiming timing = currentTiming();
    if (!(timing == m_state.hitPlanner.timing())) {
        // A tempo or offset committed during playback moves every cell: what is queued
        // belongs to the old timing, and the new one starts where the music is.
        cancelPendingHits(engine.streamTimeExact(music));
        m_state.hitPlanner.beginSegment(timing, engine.FSOUND_Stream_GetTime(music),
                                        m_state.LastSoundBeat);
    }
    const double now = engine.streamTimeExact(music);
    auto& pending = m_state.pendingHits;
    pending.erase(std::remove_if(pending.begin(), pending.end(),
                                 [&](const PendingHit& h) { return double(h.musicMs) <= now; }),
                  pending.end());

    const double horizon = now + FrameTick::lookaheadMs(m_frameHz);
    for (const PlannedCell& planned : m_state.hitPlanner.reach(horizon, m_kep.TotalBeats)) {
        pending.push_back(
            {planned.cell, planned.musicMs, m_state.LastSoundBeat, m_state.SoundSlot});
        if (m_kep.anyKeySet(planned.cell)) {
            const size_t slot = size_t(m_state.SoundSlot);
            engine.FSOUND_Stream_PlayAt(m_state.SoundSlot, m_state.KeySounds[slot], music,
                                        double(planned.musicMs));
            ++m_state.SoundSlot;
            if (m_state.SoundSlot > KeySoundChannels - 1)
                m_state.SoundSlot = 0;
        }
        if (m_kep.isSet(planned.cell, 7))
            engine.FSOUND_Stream_PlayAt(MarkerChannel, m_state.KeySounds[EditorState::MarkerSound],
                                        music, double(planned.musicMs));
        if (m_state.metronome && planned.cell % 4 == 0 && m_state.MetronomeSounds[0] != 0)
            engine.FSOUND_Stream_PlayAt(MetronomeChannel,
                                        m_state.MetronomeSounds[planned.cell % 16 == 0 ? 1 : 0],
                                        music, double(planned.musicMs));
        m_state.LastSoundBeat = planned.cell;
    }
}

void KE::setKey(int32_t cell, int row)
{
    if (cell < 0 || cell >= m_kep.TotalBeats)
        return;
    // The keys of one run of playback are one step, made when the run pauses or ends.
    if (!m_runEdit)
        m_runEdit.emplace(m_kep);
    m_runEdit->set(KeP::flatIndex(cell, row), 1);
    chartChanged();
}

void KE::recordKeys(int32_t recordCell, bool cellInChart)
{
    if (cellInChart)
        m_Keyboard->GetKey();
    // Presses are taken after the snapshot, so every key-down the snapshot shows has its
    // press among these or earlier ones.
    const std::vector<KeyPress> presses = m_Keyboard->takePresses();
    const double lead = LeadMs();
    for (const KeyPress& press : presses) {
        const auto row = rowOfKey(press.code);
        if (!row || press.when < m_state.segmentMoment)
            continue;
        uint8_t& unmatched = m_state.unmatchedPresses[press.code];
        if (unmatched < 255)
            ++unmatched;
        // The cell is that of the moment the key went down, not of this pass.
        const double musicMs = sound().streamTimeAt(m_state.MusicStream, press.when);
        const int32_t chartMs = nearestInt32(lead + musicMs);
        const int32_t near = m_kep.MsToBeatNear(chartMs);
        if (near < 0 || near >= m_kep.TotalBeats)
            continue;
        setKey(m_kep.MsToBeatHalf(chartMs), *row);
    }
    if (cellInChart) {
        for (const KeyRow& key : KeyToRow) {
            const uint8_t now = m_kep.KeyState[key.code];
            if (now == m_kep.PrevKeyState[key.code] || now == 0)
                continue;
            uint8_t& unmatched = m_state.unmatchedPresses[key.code];
            if (unmatched > 0) {
                --unmatched; // recorded above, at the moment of its press
                continue;
            }
            // Down without a press in this stretch: held since before it started.
            setKey(recordCell, key.row);
        }
    }
    m_kep.PrevKeyState = m_kep.KeyState;
}

void KE::playbackPass()
{
    if (!m_state.IsPlaying || m_state.IsClosing)
        return;
    SoundEngine& engine = sound();
    const int32_t t = engine.FSOUND_Stream_GetTime(m_state.MusicStream);
    // A paused stream stands at its start; the play position is where it paused, or where
    // a click moved the resume point since, and both lines show it.
    m_state.PlayMs = m_state.IsPaused ? m_state.CursorMs : nearestInt32(LeadMs() + t);
    if (!m_state.IsPaused) {
        m_cPos.setText(PosString(m_state.PlayMs));
        m_cBeat.setText(m_kep.beatCounter(m_state.PlayMs));
        const int32_t recordCell = m_kep.MsToBeatHalf(m_state.PlayMs);
        const int32_t soundCell = m_kep.MsToBeatNear(m_state.PlayMs);
        scheduleHitSounds();
        recordKeys(recordCell, soundCell >= 0 && soundCell < m_kep.TotalBeats);
    }
    renderFrame(m_TimeSet.value(), m_state.PlayMs, !m_state.IsPaused);
    // The run ends where the chart position reaches the song's length, or at the latest
    // where the music itself ends (a chart lagging the music never reaches the length).
    // Both wait until decoding has told the real length.
    if (m_state.IsPlaying && followDecodedLength() &&
        (m_state.PlayMs >= m_state.SongLenMs || t >= m_state.SongLenMs))
        finishPlayback();
}

void KE::timeSetChanged()
{
    renderFrame(m_TimeSet.value(), m_state.PlayMs, false);
    m_state.drag.MouseMove = false;
    scheduleFrame();
}

void KE::reportError(const QString& what)
{
    // Each distinct error is told once; the display goes on with the next frame.
    if (m_reportedErrors.contains(what))
        return;
    m_reportedErrors.insert(what);
    std::fprintf(stderr, "tavix-editor: %s\n", what.toLocal8Bit().constData());
    std::fflush(stderr);
}

void KE::renderFrame(int32_t ms, int32_t curMs, bool GoP)
{
    try {
        prepareFrame();
        renderer().Render(ms, curMs, GoP);
    } catch (const std::exception& e) {
        reportError(tr("a frame could not be drawn: %1").arg(QString::fromLocal8Bit(e.what())));
    }
    refreshOverview();
}

void KE::scheduleFrame()
{
    if (m_state.IsClosing)
        return;
    if (m_state.IsPlaying && !m_state.IsPaused)
        return; // the frame tick draws
    if (!m_state.IsPlaying && !m_state.LoopRunning)
        return; // nothing is shown before a song or a chart is opened
    m_framePending = true;
    if (!m_idleFrame.isActive())
        m_idleFrame.start();
}

bool KE::runPendingFrame()
{
    if (!m_framePending)
        return false;
    m_framePending = false;
    m_idleFrame.stop();
    drawIdleFrame();
    return true;
}

void KE::drawIdleFrame()
{
    if (m_state.IsClosing)
        return;
    if (m_state.IsPlaying) {
        if (m_state.IsPaused)
            playbackPass();
        return;
    }
    if (m_state.LoopRunning)
        renderFrame(m_TimeSet.value(), m_state.CursorMs, false);
}

void KE::updateDecodeProgress()
{
    const double progress =
        m_state.MusicStream != 0 ? sound().decodeProgress(m_state.MusicStream) : 1.0;
    // The waveform fills in as the song decodes, also while nothing else draws.
    scheduleFrame();
    if (progress >= 1.0 || m_state.IsClosing) {
        m_decodeBar.setVisible(false);
        m_decodeTimer.stop();
        if (!m_state.IsClosing)
            followDecodedLength();
        return;
    }
    m_decodeBar.setValue(int(std::clamp(progress, 0.0, 1.0) * 1000.0));
    m_decodeBar.setToolTip(tr("Decoding the song: %1%").arg(int(progress * 100.0)));
    m_decodeBar.setVisible(true);
    if (!m_decodeTimer.isActive())
        m_decodeTimer.start();
}

bool KE::followDecodedLength()
{
    const StreamHandle music = m_state.MusicStream;
    if (music == 0 || sound().decodeProgress(music) < 1.0)
        return false;
    const int32_t length = sound().FSOUND_Stream_GetLengthMs(music);
    if (length != m_state.SongLenMs)
        resizeToSongLength(length);
    return true;
}

void KE::resizeToSongLength(int32_t songLenMs)
{
    m_state.SongLenMs = songLenMs;
    // Keys keep their cells. The grid grows to the real length, but is cut only as far as
    // nothing set is lost: no one was asked. Nor is it an edit of the user's: a chart as
    // saved stays so, and keys being recorded stay one step with the resize.
    if (const auto songCells = m_kep.cellsForSong(songLenMs)) {
        const int64_t cells = ChartTail::keepingUsed(m_kep, *songCells);
        if (m_runEdit) {
            m_runEdit->resizeCells(cells);
        } else {
            const bool wasSaved = !isModified();
            ChartEdit edit(m_kep);
            edit.resizeCells(cells);
            m_history->record(QStringLiteral("Song Length"), edit.take());
            if (wasSaved)
                m_history->markSaved();
        }
        chartChanged();
    }
    try {
        renderer().Initialise(*m_Picture1, m_kep.TotalBeats);
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
    m_TimeSet.setMaximum(std::max(0, nearestInt32(double(songLenMs) / 100.0)));
    const int32_t shown = m_state.IsPlaying ? m_state.PlayMs : m_state.CursorMs;
    m_cPos.setText(PosString(shown));
    m_cBeat.setText(m_kep.beatCounter(shown));
    scheduleFrame();
}

} // namespace tavix
