#include "StreamLoader.h"

#include "AudioTime.h"
#include "Decoder.h"
#include "SoundEngine.h"

#include <QFile>

#include <algorithm>

namespace tavix {

std::unique_ptr<StreamRecord> StreamLoader::open(const char* nameOrData, unsigned mode, int offset,
                                                 int length, int mixRate, QString& error)
{
    if (!nameOrData) {
        error = QStringLiteral("No file name or sound data");
        return nullptr;
    }
    offset = std::max(offset, 0);
    std::unique_ptr<Decoder> decoder;
    bool background = true;
    if (mode & FSOUND_LOADMEMORY) {
        if (length <= 0) {
            error = QStringLiteral("A sound in memory needs its length in bytes");
            return nullptr;
        }
        decoder = Decoder::openMemory(nameOrData + offset, length, mixRate, &error);
        background = length > SynchronousDecodeBytes;
    } else if (offset > 0 || length > 0) {
        // A stretch of a larger file: read just those bytes.
        QFile file(QString::fromUtf8(nameOrData));
        if (!file.open(QIODevice::ReadOnly) || !file.seek(offset)) {
            error = QStringLiteral("Cannot open \"%1\": %2")
                        .arg(QString::fromUtf8(nameOrData), file.errorString());
            return nullptr;
        }
        const QByteArray bytes = length > 0 ? file.read(length) : file.readAll();
        decoder = Decoder::openMemory(bytes.constData(), bytes.size(), mixRate, &error);
    } else {
        decoder = Decoder::openFile(nameOrData, mixRate, &error);
    }
    if (!decoder)
        return nullptr;
    auto record = std::make_unique<StreamRecord>();
    record->sound = decoder->sound();
    record->peaks = decoder->peaks();
    if (background) {
        record->decoder = std::jthread(
            [d = std::move(decoder)](std::stop_token stop) { d->decodeAll(std::move(stop)); });
    } else {
        decoder->decodeAll();
    }
    return record;
}

void StreamLoader::waitDecoded(StreamRecord& r)
{
    if (r.decoder.joinable())
        r.decoder.join();
}

int32_t StreamLoader::lengthMs(const StreamRecord& r, int mixRate)
{
    const DecodedSound& sound = *r.sound;
    int64_t frames = sound.lengthFrames();
    if (frames < 0)
        frames = std::max(sound.estimatedFrames(), sound.availableFrames());
    return wholeMsFromFrames(static_cast<double>(frames), mixRate);
}

} // namespace tavix
