#pragma once

#include "CellRange.h"
#include "LoopSpan.h"

#include "CellTiming.h"
#include "ChartChange.h"
#include "EffectSounds.h"
#include "HitSoundScheduler.h"
#include "KeyRecorder.h"
#include "SoundEngine.h"

#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace tavix {

class KeP;
class KeyInput;
class PressSink;

// The song and the playback of it: where play starts from (the cursor) and where it is
// (the play position), the run's state from play through pause and resume to stop or the
// end of the song, the hit sounds and metronome clicks queued ahead at their instants,
// the keys recorded from the keypad, and the song's length once decoding tells it. It
// talks to the sound engine, the keyboard device and the chart's editing interface, and
// tells its observer what to show; it draws nothing and knows no window.
class PlaybackSession
{
public:
    using Clock = std::chrono::steady_clock;
    // The playback rates, in percent of the song's speed, slowest first.
    static constexpr std::array<int, 4> PlaybackRates{25, 50, 75, 100};

    enum class RunChange { Started, Paused, Resumed, Stopped, Ended };

    class Observer
    {
    public:
        virtual ~Observer() = default;
        // The run started, paused, resumed, stopped or ended; the session's state says
        // where it stands now (a start can end at once, at the end of the song).
        virtual void runChanged(RunChange change) = 0;
        // A pass of the run has reached chart time `playMs`; `moving` unless paused.
        virtual void passDone(int32_t playMs, bool moving) = 0;
        // A key went into the chart.
        virtual void keyRecorded() = 0;
        // The keys recorded in the run so far, as one change of the chart.
        virtual void recordingTaken(ChartChange keys) = 0;
        // A length learned late resized the chart: `step` is the change, to be recorded
        // as no edit of the user's (a chart as saved stays saved); none when it went into
        // the keys being recorded, which stay one step with it.
        virtual void chartFitted(std::optional<ChartChange> step) = 0;
        // Decoding has told a length of the song other than the one it had.
        virtual void songLengthLearned(int32_t songLenMs) = 0;
    };

    PlaybackSession(KeP& kep, SoundEngine& engine, std::function<Clock::time_point()> now,
                    Observer& observer);
    PlaybackSession(const PlaybackSession&) = delete;
    PlaybackSession& operator=(const PlaybackSession&) = delete;

    // --- Start-up and shutdown
    // Opens the key and marker sounds.
    void openSounds() { m_sounds.open(); }
    // The keyboard recording reads, made at start-up after the sounds.
    void useKeyboard(KeyInput& keyboard) { m_keyboard = &keyboard; }
    // Passes per second, which set how far ahead sounds are queued.
    void setPassRate(double hz) { m_passHz = hz; }
    // Stops the song and closes it, every effect stream and the engine. Nothing plays
    // or passes afterwards.
    void release();

    // --- The song
    // A song just opened and checked: the one before is closed, the playback rate carries
    // over where the engine takes it, and the cursor goes to the start.
    void setMusic(StreamHandle stream, int32_t songLenMs, const QString& path);
    // The length a chart without music gives, or that an undo puts back.
    void setSongLength(int32_t songLenMs) { m_songLenMs = songLenMs; }
    // True once the song is decoded. A length it then has other than the one known is
    // taken: the chart grows to it, but is cut only as far as no key or marker goes.
    bool followDecodedLength();
    // How far the song's decoding has come, 0..1 (1 without a song).
    double decodeProgress() const;

    // --- Timing: chart time leads music time by LeadMs().
    void setOffsetVal(double offsetVal) { m_offsetVal = offsetVal; }
    double LeadMs() const;
    CellTiming timing() const;

    // --- The run
    // Start, pause or resume (nothing without music). A resume starts from the cursor.
    void playPause();
    void stop();
    // One pass: the play position from the music, the sounds of the cells ahead queued,
    // the keys pressed recorded, then the pass shown; the run ends where the song does.
    void pass();
    // Puts the cursor at chart time `ms` and the music there.
    void moveCursor(int32_t ms);
    // Test play: the song from a measure before `fromCell`, that measure counted in with
    // clicks, the presses going to `sink` instead of into the chart, and the chart's own
    // key sounds only with `chartSounds`. False without music or while a run is on.
    bool startTestPlay(PressSink& sink, int32_t fromCell, bool chartSounds);
    bool testing() const { return m_sink != nullptr; }
    // The cells a run plays over and over (playback, recording and test play), from the
    // next start on; none: the song plays through. Refused (false) while a run is on.
    bool setLoopCells(std::optional<CellRange> cells);
    const std::optional<CellRange>& loopCells() const { return m_loopCells; }
    // The loop of the run going on, once the engine took it.
    const std::optional<LoopSpan>& loopSpan() const { return m_loopSpan; }
    // The song's time at the engine's time `ms` (the same but in a loop).
    double songMs(double ms) const { return m_loopSpan ? m_loopSpan->songMs(ms) : ms; }
    // The run's keys so far become one change of their own.
    void flushRecording();
    bool hasRecordedKeys() const { return m_recorder.hasKeys(); }

    // --- Listening
    // The metronome's clicks from now on; what is queued is planned again.
    void setMetronome(bool on);
    // False when the engine refuses the rate (see its lastError()).
    bool setPlaybackRate(int percent);
    // The rate a step down or up from `percent`, if there is one.
    static std::optional<int> slowerRate(int percent);
    static std::optional<int> fasterRate(int percent);

    // --- What it stands at
    const StreamHandle& music() const { return m_music; }
    // The file of the song open now, empty for none.
    QString musicPath() const { return m_music != 0 ? m_musicPath : QString(); }
    const int32_t& songLenMs() const { return m_songLenMs; }
    const int32_t& cursorMs() const { return m_cursorMs; }
    const int32_t& playMs() const { return m_playMs; }
    const double& offsetVal() const { return m_offsetVal; }
    const bool& playing() const { return m_playing; }
    const bool& paused() const { return m_paused; }
    bool moving() const { return m_playing && !m_paused; }
    // Released at shutdown: nothing plays any more.
    const bool& released() const { return m_released; }
    const bool& metronome() const { return m_hits.metronome(); }
    const int& ratePercent() const { return m_ratePercent; }
    const EffectSounds& sounds() const { return m_sounds; }
    const HitSoundScheduler& hits() const { return m_hits; }

private:
    void startMusic(bool goOn = false);
    void fitChartTo(int32_t songLenMs);
    void beginSegment(int64_t startMusicMs);
    void scheduleHitSounds();
    void finish();
    void judgePresses();
    void endTestPlay();
    void armLoop();
    void disarmLoop();

    KeP& m_kep;
    SoundEngine& m_engine;
    std::function<Clock::time_point()> m_now;
    Observer& m_observer;
    KeyInput* m_keyboard = nullptr;
    PressSink* m_sink = nullptr;
    std::optional<CellRange> m_loopCells;
    std::optional<LoopSpan> m_loopSpan;
    Clock::time_point m_segmentMoment{};
    EffectSounds m_sounds;
    HitSoundScheduler m_hits;
    KeyRecorder m_recorder;
    double m_passHz = 60.0;
    bool m_released = false;

    StreamHandle m_music = 0;
    // The cursor as the last pause left it: a resume from there goes on with the pass.
    int32_t m_pausedAtMs = 0;
    QString m_musicPath;
    int32_t m_songLenMs = 0;
    int32_t m_cursorMs = 0;
    int32_t m_playMs = 0;
    double m_offsetVal = 0.0;
    bool m_playing = false;
    bool m_paused = false;
    int m_ratePercent = 100;
};

} // namespace tavix
