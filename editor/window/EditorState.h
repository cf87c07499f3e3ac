#pragma once

#include "CanvasGestures.h"
#include "DragState.h"
#include "EffectSounds.h"
#include "FrameLoop.h"
#include "KeP.h"
#include "PlaybackSession.h"
#include "SoundEngine.h"
#include "Toolbar.h"

#include <array>
#include <cstdint>

namespace tavix {

// The window-level state of the editor as tests and benchmarks read it, by the names the
// window has always given it. It is a view: each value belongs to the object that changes
// it (the playback session, the canvas gestures, the toolbar, the frame loop), and this
// only refers to them.
struct EditorState
{
    static constexpr int ButtonCount = Toolbar::ButtonCount;
    static constexpr int SoundCount = EffectSounds::SoundCount;
    static constexpr int MarkerSound = EffectSounds::MarkerSound;
    static constexpr std::array<int, 4> PlaybackRates = PlaybackSession::PlaybackRates;

    const StreamHandle& MusicStream;
    const int32_t& SongLenMs;
    const int32_t& CursorMs;
    const int32_t& PlayMs;
    const double& OffsetVal;
    const bool& IsPlaying;
    const bool& IsPaused;
    const bool& IsClosing;
    const std::array<StreamHandle, SoundCount>& KeySounds;
    const int32_t& SoundSlot;
    const int32_t& LastSoundBeat;
    const SelectionList& SelKeys;
    const std::array<int32_t, ButtonCount>& BtnTop;
    const std::array<int32_t, ButtonCount>& BtnLeft;
    const DragState& drag; // MouseStartX .. MouseMove, read by the key display every frame
    const bool& LoopRunning;
    // The metronome's clicks (beat, measure), whether it sounds, and the playback rate.
    const std::array<StreamHandle, 2>& MetronomeSounds;
    const bool& metronome;
    const int& ratePercent;

    static EditorState of(const PlaybackSession& session, const CanvasGestures& gestures,
                          const Toolbar& toolbar, const FrameLoop& frames)
    {
        return {session.music(),
                session.songLenMs(),
                session.cursorMs(),
                session.playMs(),
                session.offsetVal(),
                session.playing(),
                session.paused(),
                session.released(),
                session.sounds().keySounds(),
                session.hits().soundSlot(),
                session.hits().lastSoundBeat(),
                gestures.selection(),
                toolbar.homeTops(),
                toolbar.homeLefts(),
                gestures.drag(),
                frames.loopRunning(),
                session.sounds().metronome(),
                session.metronome(),
                session.ratePercent()};
    }
};

} // namespace tavix
