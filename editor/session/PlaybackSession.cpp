#include "PlaybackSession.h"

#include "ChartTail.h"
#include "FrameTick.h"
#include "KeP.h"
#include "KeyInput.h"
#include "PressSink.h"
#include "Rounding.h"

#include <algorithm>

namespace tavix {

PlaybackSession::PlaybackSession(KeP& kep, SoundEngine& engine,
                                 std::function<Clock::time_point()> now, Observer& observer)
    : m_kep(kep), m_engine(engine), m_now(std::move(now)), m_observer(observer), m_sounds(engine),
      m_hits(engine, m_sounds), m_recorder(kep)
{
    m_recorder.onKey = [this] { m_observer.keyRecorded(); };
}

double PlaybackSession::LeadMs() const
{
    return double(m_kep.BeatRate) * m_offsetVal;
}

CellTiming PlaybackSession::timing() const
{
    return CellTiming::of(m_kep.BeatRate, m_offsetVal);
}

void PlaybackSession::release()
{
    if (m_playing)
        m_engine.FSOUND_Stream_Stop(m_music);
    m_playing = false;
    m_paused = false;
    if (m_music != 0)
        m_engine.FSOUND_Stream_Close(m_music);
    m_music = 0;
    m_released = true;
    m_sounds.close();
    m_engine.FSOUND_Close();
}

void PlaybackSession::setMusic(StreamHandle stream, int32_t songLenMs, const QString& path)
{
    if (m_music != 0)
        m_engine.FSOUND_Stream_Close(m_music);
    m_music = stream;
    if (m_ratePercent != 100 && !m_engine.setPlaybackRate(stream, m_ratePercent))
        m_ratePercent = m_engine.playbackRate(stream);
    m_songLenMs = songLenMs;
    m_musicPath = path;
    m_cursorMs = 0;
}

double PlaybackSession::decodeProgress() const
{
    return m_music != 0 ? m_engine.decodeProgress(m_music) : 1.0;
}

bool PlaybackSession::followDecodedLength()
{
    if (m_music == 0 || m_engine.decodeProgress(m_music) < 1.0)
        return false;
    const int32_t length = m_engine.FSOUND_Stream_GetLengthMs(m_music);
    if (length != m_songLenMs) {
        m_songLenMs = length;
        fitChartTo(length);
        m_observer.songLengthLearned(length);
    }
    return true;
}

void PlaybackSession::fitChartTo(int32_t songLenMs)
{
    // Keys keep their cells. No one was asked, so nothing set is lost, nor is it an edit
    // of the user's.
    const auto songCells = m_kep.cellsForSong(songLenMs);
    if (!songCells)
        return;
    const int64_t cells = ChartTail::keepingUsed(m_kep, *songCells);
    if (m_recorder.resizeWithin(cells)) {
        m_observer.chartFitted(std::nullopt);
        return;
    }
    ChartEdit edit(m_kep);
    edit.resizeCells(cells);
    m_observer.chartFitted(edit.take());
}

void PlaybackSession::playPause()
{
    if (m_music == 0 || m_sink)
        return; // a test play runs through, or stops
    if (m_playing && m_paused) {
        // Resume from the cursor, which a click on the canvas may have moved. The seek
        // comes before the start so that not a sample of the old position is heard.
        // Where the pause left it, the engine drops the hits it had already mixed.
        m_paused = false;
        const bool goOn = m_cursorMs == m_pausedAtMs;
        m_engine.FSOUND_Stream_SetTime(m_music, nearestInt32(m_cursorMs - LeadMs()));
        startMusic(goOn);
        m_observer.runChanged(RunChange::Resumed);
        return;
    }
    if (m_playing) {
        // Pause: the chart position becomes the cursor; what is queued and not yet heard
        // is taken back.
        m_paused = true;
        const double heard = m_engine.streamTimeExact(m_music);
        const int32_t t = m_engine.FSOUND_Stream_GetTime(m_music);
        m_cursorMs = nearestInt32(LeadMs() + songMs(t));
        m_pausedAtMs = m_cursorMs;
        m_engine.FSOUND_Stream_Stop(m_music);
        m_hits.cancel(m_music, heard);
        flushRecording();
        m_observer.runChanged(RunChange::Paused);
        return;
    }
    // Start, from wherever the stream stands, or from the loop's start.
    m_playing = true;
    m_hits.startRun();
    // A song that has played to its end starts again from its beginning.
    if (m_engine.FSOUND_Stream_GetTime(m_music) >= m_engine.FSOUND_Stream_GetLengthMs(m_music))
        m_engine.FSOUND_Stream_SetTime(m_music, 0);
    armLoop();
    if (m_loopSpan)
        m_engine.FSOUND_Stream_SetTime(m_music, nearestInt32(m_loopSpan->fromMs));
    startMusic();
    m_observer.runChanged(RunChange::Started);
}

void PlaybackSession::startMusic(bool goOn)
{
    // The first sounds are queued while the music still stands, so the cell under the
    // start is mixed with the music's very first frame rather than a buffer later.
    // A key let go while another client grabbed the keyboard must not stay down.
    m_keyboard->resync();
    beginSegment(m_engine.FSOUND_Stream_GetTime(m_music));
    scheduleHitSounds();
    if (goOn)
        m_engine.FSOUND_Stream_Resume(MusicChannel, m_music);
    else
        m_engine.FSOUND_Stream_Play(MusicChannel, m_music);
    pass();
}

void PlaybackSession::stop()
{
    if (!m_playing)
        return;
    m_playing = false;
    m_paused = false;
    m_engine.FSOUND_Stream_Stop(m_music);
    m_hits.drop(m_music);
    m_cursorMs = 0;
    flushRecording();
    disarmLoop();
    endTestPlay();
    m_observer.runChanged(RunChange::Stopped);
}

bool PlaybackSession::setLoopCells(std::optional<CellRange> cells)
{
    if (m_playing)
        return false;
    if (cells && (cells->empty() || cells->first < 0))
        cells.reset();
    m_loopCells = cells;
    return true;
}

void PlaybackSession::armLoop()
{
    m_loopSpan.reset();
    if (!m_loopCells || m_music == 0)
        return;
    const CellTiming t = timing();
    const int32_t from = int32_t(std::min<int64_t>(m_loopCells->first, m_kep.TotalBeats));
    const int32_t to = int32_t(std::min<int64_t>(m_loopCells->last + 1, m_kep.TotalBeats));
    const std::optional<int64_t> fromMs = t.firstMusicMs(from);
    std::optional<int64_t> toMs = t.firstMusicMs(to);
    if (!fromMs || to <= from)
        return;
    // A range to the chart's end loops at the song's end.
    if (!toMs || to >= m_kep.TotalBeats || *toMs > m_songLenMs)
        toMs = m_songLenMs;
    const double start = double(std::max<int64_t>(*fromMs, 0));
    const std::optional<double> length = m_engine.setLoop(m_music, start, double(*toMs));
    if (!length)
        return;
    m_loopSpan = LoopSpan{start, *length};
    m_hits.setLoop(from, to, *length);
    m_recorder.setLoop(m_loopSpan);
    if (m_sink)
        m_sink->looping(from, to, *m_loopSpan);
}

void PlaybackSession::disarmLoop()
{
    if (!m_loopSpan)
        return;
    m_engine.setLoop(m_music, 0.0, 0.0);
    m_loopSpan.reset();
    m_hits.setLoop(0, 0, 0.0);
    m_recorder.setLoop(std::nullopt);
}

bool PlaybackSession::startTestPlay(PressSink& sink, int32_t fromCell, bool chartSounds)
{
    if (m_music == 0 || m_playing || m_released)
        return false;
    constexpr int32_t CountInCells = 16;
    const int32_t countFrom = fromCell - CountInCells;
    const std::optional<int64_t> start = timing().firstMusicMs(countFrom);
    if (!start)
        return false;
    m_sounds.openMetronome();
    m_sink = &sink;
    m_hits.setChartSounds(chartSounds);
    m_hits.setCountIn(countFrom, fromCell);
    m_hits.startRun();
    m_playing = true;
    m_paused = false;
    armLoop();
    m_engine.FSOUND_Stream_SetTime(m_music, nearestInt32(double(std::max<int64_t>(*start, 0))));
    // The count-in's clicks over silence: the song is heard from the start cell's instant.
    if (const std::optional<int64_t> heardFrom = timing().firstMusicMs(fromCell))
        m_engine.setMutedBefore(m_music, double(std::max<int64_t>(*heardFrom, 0)));
    startMusic();
    m_observer.runChanged(RunChange::Started);
    return true;
}

void PlaybackSession::endTestPlay()
{
    if (!m_sink)
        return;
    PressSink* sink = m_sink;
    m_sink = nullptr;
    m_hits.setChartSounds(true);
    m_hits.setCountIn(0, 0);
    m_engine.setMutedBefore(m_music, 0.0);
    sink->ended();
}

void PlaybackSession::judgePresses()
{
    for (const KeyPress& press : m_keyboard->takePresses()) {
        const std::optional<int> row = rowOfKeyCode(press.code);
        if (!row || press.when < m_segmentMoment)
            continue;
        const double musicMs = m_engine.streamTimeAt(m_music, press.when);
        m_hits.soundPress(m_music, musicMs);
        m_sink->pressed(*row, musicMs, m_ratePercent);
    }
    m_sink->heardThrough(m_engine.streamTimeExact(m_music), m_ratePercent);
}

void PlaybackSession::finish()
{
    m_hits.cancel(m_music, m_engine.streamTimeExact(m_music));
    // A run can end while paused (the cursor moved past the end): the next play must
    // start a run that moves, not a paused one.
    m_playing = false;
    m_paused = false;
    flushRecording();
    disarmLoop();
    endTestPlay();
    m_observer.runChanged(RunChange::Ended);
}

void PlaybackSession::beginSegment(int64_t startMusicMs)
{
    m_hits.beginSegment(timing(), startMusicMs);
    m_segmentMoment = m_now();
    m_recorder.beginSegment(*m_keyboard, m_segmentMoment);
}

void PlaybackSession::scheduleHitSounds()
{
    // The passes' own margin, and what the device may have mixed ahead of the listener:
    // a hit queued later than its frame is mixed would sound late, or be lost to a pause.
    m_hits.schedule(m_kep, m_music, timing(),
                    FrameTick::lookaheadMs(m_passHz) + m_engine.mixAheadMs());
}

void PlaybackSession::pass()
{
    if (!m_playing || m_released)
        return;
    const int32_t t = m_engine.FSOUND_Stream_GetTime(m_music);
    // A paused stream stands at its start; the play position is where it paused, or where
    // a click moved the resume point since, and both lines show it.
    m_playMs = m_paused ? m_cursorMs : nearestInt32(LeadMs() + songMs(t));
    if (!m_paused) {
        const int32_t recordCell = m_kep.MsToBeatHalf(m_playMs);
        const int32_t soundCell = m_kep.MsToBeatNear(m_playMs);
        scheduleHitSounds();
        if (m_sink)
            judgePresses();
        else
            m_recorder.record(*m_keyboard, m_engine, m_music, LeadMs(), recordCell,
                              soundCell >= 0 && soundCell < m_kep.TotalBeats);
    }
    m_observer.passDone(m_playMs, !m_paused);
    // The run ends where the chart position reaches the song's length, or at the latest
    // where the music itself ends (a chart lagging the music never reaches the length).
    // Both wait until decoding has told the real length.
    // A loop plays until it is stopped.
    if (m_playing && followDecodedLength() && !m_loopSpan &&
        (m_playMs >= m_songLenMs || t >= m_songLenMs))
        finish();
}

void PlaybackSession::moveCursor(int32_t ms)
{
    m_cursorMs = ms;
    // No music yet (a chart opened on its own) leaves the engine nothing to move; its
    // refusal is of no consequence.
    m_engine.FSOUND_Stream_SetTime(m_music, nearestInt32(ms - LeadMs()));
}

void PlaybackSession::flushRecording()
{
    if (std::optional<ChartChange> keys = m_recorder.take())
        m_observer.recordingTaken(std::move(*keys));
}

void PlaybackSession::setMetronome(bool on)
{
    m_hits.setMetronome(on);
    if (on)
        m_sounds.openMetronome();
    // What is queued was planned with or without the clicks.
    if (m_playing && !m_paused && m_music != 0) {
        m_hits.replan(m_music, timing());
        scheduleHitSounds();
    }
}

bool PlaybackSession::setPlaybackRate(int percent)
{
    if (percent == m_ratePercent)
        return true;
    // Positions stay in song time, so what is queued stays right; the engine takes the
    // change at once, also while the song plays.
    if (m_music != 0 && !m_engine.setPlaybackRate(m_music, percent))
        return false;
    m_ratePercent = percent;
    return true;
}

std::optional<int> PlaybackSession::slowerRate(int percent)
{
    const auto it = std::find(PlaybackRates.begin(), PlaybackRates.end(), percent);
    if (it == PlaybackRates.begin() || it == PlaybackRates.end())
        return std::nullopt;
    return *(it - 1);
}

std::optional<int> PlaybackSession::fasterRate(int percent)
{
    const auto it = std::find(PlaybackRates.begin(), PlaybackRates.end(), percent);
    if (it == PlaybackRates.end() || it + 1 == PlaybackRates.end())
        return std::nullopt;
    return *(it + 1);
}

} // namespace tavix
