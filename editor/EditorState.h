#pragma once

#include "DragState.h"
#include "HitSoundPlanner.h"
#include "KeP.h"
#include "SoundEngine.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

namespace tavix {

// A hit sound queued in the mixer and perhaps not heard yet, with what the counters were
// before it, so that cancelling it puts them back as if it had never been started.
struct PendingHit
{
    int32_t cell = 0;
    int64_t musicMs = 0;
    int32_t lastSoundBeatBefore = 0;
    int32_t soundSlotBefore = 0;
};

// The window-level state of the editor, in one place: the commands of every file of the
// window read and write it here, and tests read it.
struct EditorState
{
    static constexpr int ButtonCount = 10;
    static constexpr int SoundCount = 16;
    static constexpr int MarkerSound = 15;
    static constexpr std::array<int, 4> PlaybackRates{25, 50, 75, 100};

    StreamHandle MusicStream = 0;
    int32_t SongLenMs = 0;
    int32_t CursorMs = 0;
    int32_t PlayMs = 0;
    double OffsetVal = 0.0;
    bool IsPlaying = false;
    bool IsPaused = false;
    bool IsClosing = false;
    std::array<StreamHandle, SoundCount> KeySounds{};
    int32_t SoundSlot = 0;
    int32_t LastSoundBeat = 0;
    SelectionList SelKeys = emptySelection();
    std::array<int32_t, ButtonCount> BtnTop{};
    std::array<int32_t, ButtonCount> BtnLeft{};
    DragState drag; // MouseStartX .. MouseMove, read by the key display every frame
    bool LoopRunning = false;
    // The metronome's clicks (beat, measure), whether it sounds, and the playback rate.
    std::array<StreamHandle, 2> MetronomeSounds{};
    bool metronome = false;
    int ratePercent = 100;

    // Playback internals: the plan of hit sounds, what is queued in the mixer, and the
    // stretch of continuous playback that recording belongs to.
    HitSoundPlanner hitPlanner;
    std::vector<PendingHit> pendingHits;
    std::chrono::steady_clock::time_point segmentMoment{};
    // The cursor as the last pause left it: a resume from there goes on with the pass.
    int32_t pausedAtMs = 0;
    // Presses recorded from their moment whose key-down has not yet shown in a snapshot;
    // the snapshot's edge for them must not record the key a second time.
    std::array<uint8_t, 256> unmatchedPresses{};
};

} // namespace tavix
