#include "SongTempo.h"

#include "Decoder.h"
#include "SampleSource.h"

#include <QFile>

namespace tavix {

namespace {

// The mix rate the editor decodes songs at.
constexpr int AnalysisRate = 44100;
// The share of the progress bar that decoding takes; the analysis takes the rest.
constexpr double DecodingShare = 0.3;

SongTempo unreadable(const QString& reason)
{
    SongTempo t;
    t.status = SongTempo::Status::Unreadable;
    t.reason = reason;
    return t;
}

// The decoder names the file in its message; the callers name it once, in front.
QString decoderReason(const QString& message, const QString& file)
{
    const QString named = QStringLiteral("Cannot open \"%1\": ").arg(file);
    if (message.startsWith(named))
        return message.mid(named.size());
    return message;
}

} // namespace

SongTempo detectSongTempo(const QString& path, const TempoOptions& options,
                          const std::stop_token& stop, const TempoDetector::Progress& progress)
{
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly))
            return unreadable(QStringLiteral("cannot be opened: ") + probe.errorString());
    }
    QString why;
    const auto decoder = Decoder::openFile(path.toStdString(), AnalysisRate, &why);
    if (!decoder)
        return unreadable(QStringLiteral("not a sound file: ") + decoderReason(why, path));
    DecodedSound& sound = *decoder->sound();
    // A song whose header gives its length exactly is analysed as it is decoded, each
    // stretch freed once read, so the whole song is never held; any other is decoded first,
    // for its length.
    const bool streamed = decoder->lengthExact() && sound.lengthFrames() >= 0;
    while (!streamed && decoder->decodeSome(int64_t{1} << 16)) {
        if (stop.stop_requested())
            return SongTempo{SongTempo::Status::Cancelled, {}, {}};
        if (progress)
            progress(DecodingShare * sound.progress());
    }
    if (!decoder->error().isEmpty())
        return unreadable(QStringLiteral("cannot be decoded: ") + decoder->error());

    const SampleSource samples(
        SampleSource::Format::Int16, sound.channels(), sound.sampleRate(),
        streamed ? sound.lengthFrames() : sound.availableFrames(), [&](int64_t frame) {
            while (sound.availableFrames() <= frame && decoder->decodeSome(int64_t{1} << 16)) {
            }
            if (streamed)
                sound.releaseBefore(frame);
            int64_t frames = 0;
            const int16_t* data = sound.framesAt(frame, frames);
            return SampleSource::Block{data, frames};
        });
    const double decoded = streamed ? 0.0 : DecodingShare;
    TempoDetector::Progress detecting;
    if (progress)
        detecting = [&](double f) { progress(decoded + (1.0 - decoded) * f); };
    const std::optional<TempoResult> r = TempoDetector::detect(samples, options, stop, detecting);
    if (!r)
        return SongTempo{SongTempo::Status::Cancelled, {}, {}};
    if (!decoder->error().isEmpty())
        return unreadable(QStringLiteral("cannot be decoded: ") + decoder->error());
    return SongTempo{SongTempo::Status::Done, {}, *r};
}

} // namespace tavix
