#pragma once

#include "SoundEngine.h"

#include <QByteArray>

#include <array>

namespace tavix {

// The short sounds played over the music, each from a block of sound data that lives as
// long as its streams: fifteen streams of the key sound over one block, so that up to
// fifteen overlap, one of the confirm marker, and the metronome's two clicks (beat,
// measure). The clicks are opened when the metronome is first wanted, so a run without it
// opens what it always did.
class EffectSounds
{
public:
    static constexpr int SoundCount = 16;
    static constexpr int MarkerSound = 15;

    explicit EffectSounds(SoundEngine& engine) : m_engine(engine) {}
    EffectSounds(const EffectSounds&) = delete;
    EffectSounds& operator=(const EffectSounds&) = delete;

    // The key sounds and the marker sound, in that order.
    void open();
    // The metronome's clicks, unless they are open already.
    void openMetronome();
    // Closes every key and marker stream, and the clicks that were opened.
    void close();

    const std::array<StreamHandle, SoundCount>& keySounds() const { return m_keySounds; }
    const std::array<StreamHandle, 2>& metronome() const { return m_metronome; }

private:
    SoundEngine& m_engine;
    std::array<StreamHandle, SoundCount> m_keySounds{};
    std::array<StreamHandle, 2> m_metronome{};
    QByteArray m_keyBlock;
    QByteArray m_markerBlock;
    std::array<QByteArray, 2> m_clickBlocks;
};

} // namespace tavix
