#pragma once

#include "DecodedSound.h"
#include "WaveformPeaks.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace tavix {

// Decodes a sound file (Ogg Vorbis, MP3, WAV, FLAC and whatever else libsndfile reads)
// front to back into a DecodedSound at the mix rate, resampling once, with libsamplerate's
// medium sinc converter, where the file's rate differs; a file at the mix rate keeps its
// samples exactly. Every decoded stretch reaches the sound through store(), in the mix
// rate's frames. The decoder is only ever read forward: libsndfile's seek is not
// sample-exact for every format, so positions are taken in the decoded samples instead.
//
// Opening reads the header only, so it is quick and tells at once whether the file can be
// played; the samples follow through decodeSome() or decodeAll(), which may run on another
// thread while the sound is already being mixed.
class Decoder
{
public:
    // nullptr and a reason in `error` when the file cannot be read as audio.
    static std::unique_ptr<Decoder> openFile(const std::string& path, int outRate, QString* error);
    // Takes its own copy of the bytes, so the caller's block may go away at once.
    static std::unique_ptr<Decoder> openMemory(const void* data, int64_t bytes, int outRate,
                                               QString* error);

    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    std::shared_ptr<DecodedSound> sound() const { return m_sound; }
    // The peaks of the samples as they are stored, filled alongside them.
    std::shared_ptr<const WaveformPeaks> peaks() const { return m_peaks; }

    // Decodes up to `inputFrames` more frames of the file; false once the sound is complete.
    bool decodeSome(int64_t inputFrames = 8192);
    // Decodes the rest, giving up early (the sound then ends where decoding stopped) when
    // a stop is requested. A file cut off before the length its header gives ends where
    // its audio ends.
    void decodeAll(std::stop_token stop = {});

    int sourceRate() const { return m_sourceRate; }
    int sourceChannels() const { return m_sourceChannels; }
    // Frames of the file at its own rate, as its header gives them (an estimate for MP3).
    int64_t sourceFrames() const { return m_sourceFrames; }
    // False for formats whose header cannot give the length exactly (MP3).
    bool lengthExact() const { return m_lengthExact; }
    // A decoding failure after a successful open, empty if none.
    QString error() const { return m_error; }

private:
    struct Impl;
    explicit Decoder(std::unique_ptr<Impl> impl);
    static std::unique_ptr<Decoder> open(std::unique_ptr<Impl> impl, const QString& name,
                                         int outRate, QString* error);
    void flushResampler();
    void store(const float* samples, int64_t frames);
    void finish(bool keepLength);

    std::unique_ptr<Impl> m_impl;
    std::shared_ptr<DecodedSound> m_sound;
    std::shared_ptr<WaveformPeaks> m_peaks;
    int m_sourceRate = 0;
    int m_sourceChannels = 0;
    int64_t m_sourceFrames = 0;
    bool m_lengthExact = true;
    bool m_done = false;
    int64_t m_inputFrames = 0;  // read from the file
    int64_t m_outputFrames = 0; // stored, at the mix rate
    QString m_error;
};

} // namespace tavix
