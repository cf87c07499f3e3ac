#pragma once

// What the disk audio driver wrote, and the songs that make it easy to read: the music's
// left channel carries a single click 10 ms into the song and is otherwise silent, its
// right channel is silent, so the music shows in left minus right and every effect (mixed
// equally into both channels) in the right channel alone.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tavix::test {

inline constexpr int CaptureRate = 44100;
inline constexpr int64_t MarkFrame = 441; // the click, 10 ms into the song

struct Capture
{
    std::vector<int16_t> samples; // interleaved left, right
    int64_t frames() const { return int64_t(samples.size() / 2); }
    int left(int64_t f) const { return samples[size_t(2 * f)]; }
    int right(int64_t f) const { return samples[size_t(2 * f + 1)]; }
};

inline Capture loadCapture(const QString& path)
{
    Capture c;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return c;
    const QByteArray bytes = file.readAll();
    c.samples.resize(size_t(bytes.size() / 4) * 2);
    std::memcpy(c.samples.data(), bytes.constData(), c.samples.size() * 2);
    return c;
}

inline void putLe(QByteArray& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

// A 16-bit stereo WAV of `seconds` with the click in the left channel at MarkFrame.
inline bool writeMarkedSong(const QString& path, double seconds)
{
    const int64_t frames = int64_t(std::llround(seconds * CaptureRate));
    QByteArray data(int(frames * 4), '\0');
    auto* s = reinterpret_cast<int16_t*>(data.data());
    s[2 * MarkFrame] = 30000;
    QByteArray wav;
    wav.append("RIFF");
    putLe(wav, uint32_t(36 + data.size()), 4);
    wav.append("WAVEfmt ");
    putLe(wav, 16, 4);
    putLe(wav, 1, 2); // PCM
    putLe(wav, 2, 2);
    putLe(wav, CaptureRate, 4);
    putLe(wav, CaptureRate * 4, 4);
    putLe(wav, 4, 2);
    putLe(wav, 16, 2);
    wav.append("data");
    putLe(wav, uint32_t(data.size()), 4);
    wav.append(data);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size();
}

// Frames where the music's click was heard, one per start of the music.
inline std::vector<int64_t> findMarks(const Capture& c, int threshold = 10000)
{
    std::vector<int64_t> marks;
    for (int64_t f = 0; f < c.frames(); ++f)
        if (std::abs(c.left(f) - c.right(f)) > threshold &&
            (marks.empty() || f - marks.back() > CaptureRate / 10))
            marks.push_back(f);
    return marks;
}

// Frames where an effect starts in the right channel: a sample above `threshold` after
// at least `silence` frames of near silence.
inline std::vector<int64_t> findOnsets(const Capture& c, int threshold = 2000, int silence = 200)
{
    std::vector<int64_t> onsets;
    int64_t quiet = silence;
    for (int64_t f = 0; f < c.frames(); ++f) {
        const int v = std::abs(c.right(f));
        if (v > threshold && quiet >= silence)
            onsets.push_back(f);
        quiet = v < 50 ? quiet + 1 : 0;
    }
    return onsets;
}

// The detected onset nearest to `frame`, or -1.
inline int64_t nearestOnset(const std::vector<int64_t>& onsets, int64_t frame)
{
    int64_t best = -1;
    for (int64_t o : onsets)
        if (best < 0 || std::llabs(o - frame) < std::llabs(best - frame))
            best = o;
    return best;
}

} // namespace tavix::test
