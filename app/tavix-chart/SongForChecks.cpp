#include "SongForChecks.h"

#ifdef TAVIX_CHART_TOOL_READS_SONGS
#include "AudioTime.h"
#include "Decoder.h"

#include <QFile>

#include <algorithm>
#include <cstdlib>
#endif

namespace tavix {

#ifdef TAVIX_CHART_TOOL_READS_SONGS

namespace {

// The mix rate the editor decodes songs at, so that the length is the editor's.
constexpr int MixRate = 44100;
constexpr int PeaksPerSecond = 100;

} // namespace

std::optional<SongForChecks> SongForChecks::read(const QString& path, QString* why)
{
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("cannot be opened: ") + probe.errorString();
            return std::nullopt;
        }
    }
    QString error;
    const auto decoder = Decoder::openFile(path.toStdString(), MixRate, &error);
    if (!decoder) {
        // The tool names the file in front of the reason already.
        const QString named = QStringLiteral("Cannot open \"%1\": ").arg(path);
        *why = QStringLiteral("not a sound file: ") +
               (error.startsWith(named) ? error.mid(named.size()) : error);
        return std::nullopt;
    }
    decoder->decodeAll();
    if (!decoder->error().isEmpty()) {
        *why = QStringLiteral("cannot be decoded: ") + decoder->error();
        return std::nullopt;
    }
    const auto sound = decoder->sound();
    const int64_t frames = sound->availableFrames();
    const int channels = sound->channels();
    const int64_t block = std::max(1, sound->sampleRate() / PeaksPerSecond);

    SongForChecks song;
    song.lengthMs = wholeMsFromFrames(double(frames), sound->sampleRate());
    song.msPerPeak = double(block) * 1000.0 / double(sound->sampleRate());
    song.peaks.reserve(size_t((frames + block - 1) / block));
    int peak = 0;
    int64_t inBlock = 0;
    for (int64_t frame = 0; frame < frames;) {
        int64_t run = 0;
        const int16_t* data = sound->framesAt(frame, run);
        if (!data || run <= 0)
            break;
        run = std::min(run, frames - frame);
        for (int64_t f = 0; f < run; ++f) {
            for (int ch = 0; ch < channels; ++ch)
                peak = std::max(peak, std::abs(int(data[f * channels + ch])));
            if (++inBlock == block) {
                song.peaks.push_back(float(peak) / 32768.0f);
                peak = 0;
                inBlock = 0;
            }
        }
        frame += run;
    }
    if (inBlock > 0)
        song.peaks.push_back(float(peak) / 32768.0f);
    return song;
}

#else

std::optional<SongForChecks> SongForChecks::read(const QString&, QString* why)
{
    *why = QStringLiteral("this build of tavix-chart reads no songs (it was built without the "
                          "audio layer)");
    return std::nullopt;
}

#endif

} // namespace tavix
