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

// A song whose length its header gives exactly is analysed as it is decoded, each stretch freed
// once read: the whole song is never held at once.
SongTempo streamed(Decoder& decoder, const TempoOptions& options, const std::stop_token& stop,
                   const TempoDetector::Progress& progress)
{
    DecodedSound& sound = *decoder.sound();
    const SampleSource samples(SampleSource::Format::Int16, sound.channels(), sound.sampleRate(),
                               sound.lengthFrames(), [&](int64_t frame) {
                                   while (sound.availableFrames() <= frame &&
                                          decoder.decodeSome(int64_t{1} << 16)) {
                                   }
                                   sound.releaseBefore(frame);
                                   int64_t frames = 0;
                                   const int16_t* data = sound.framesAt(frame, frames);
                                   return SampleSource::Block{data, frames};
                               });
    const std::optional<TempoResult> r = TempoDetector::detect(samples, options, stop, progress);
    if (!r)
        return SongTempo{SongTempo::Status::Cancelled, {}, {}};
    if (!decoder.error().isEmpty())
        return unreadable(QStringLiteral("cannot be decoded: ") + decoder.error());
    return SongTempo{SongTempo::Status::Done, {}, *r};
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
    const std::shared_ptr<DecodedSound> sound = decoder->sound();
    if (decoder->lengthExact() && sound->lengthFrames() >= 0)
        return streamed(*decoder, options, stop, progress);
    while (decoder->decodeSome(int64_t{1} << 16)) {
        if (stop.stop_requested())
            return SongTempo{SongTempo::Status::Cancelled, {}, {}};
        if (progress)
            progress(DecodingShare * sound->progress());
    }
    if (!decoder->error().isEmpty())
        return unreadable(QStringLiteral("cannot be decoded: ") + decoder->error());

    const SampleSource samples(SampleSource::Format::Int16, sound->channels(), sound->sampleRate(),
                               sound->availableFrames(), [sound](int64_t frame) {
                                   int64_t frames = 0;
                                   const int16_t* data = sound->framesAt(frame, frames);
                                   return SampleSource::Block{data, frames};
                               });
    TempoDetector::Progress detecting;
    if (progress)
        detecting = [&progress](double f) { progress(DecodingShare + (1.0 - DecodingShare) * f); };
    const std::optional<TempoResult> r = TempoDetector::detect(samples, options, stop, detecting);
    if (!r)
        return SongTempo{SongTempo::Status::Cancelled, {}, {}};
    return SongTempo{SongTempo::Status::Done, {}, *r};
}

} // namespace tavix
