#include "Decoder.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavix {

namespace {

// An encoded file held in memory, read through libsndfile's virtual I/O.
struct MemoryFile
{
    std::vector<unsigned char> bytes;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* user)
{
    return static_cast<MemoryFile*>(user)->bytes.size();
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(file->bytes.size());
    sf_count_t target = offset;
    if (whence == SEEK_CUR)
        target = file->position + offset;
    else if (whence == SEEK_END)
        target = size + offset;
    file->position = std::clamp<sf_count_t>(target, 0, size);
    return file->position;
}

sf_count_t memoryRead(void* out, sf_count_t count, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(file->bytes.size());
    const sf_count_t n = std::clamp<sf_count_t>(size - file->position, 0, count);
    if (n > 0)
        std::memcpy(out, file->bytes.data() + file->position, static_cast<size_t>(n));
    file->position += n;
    return n;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t memoryTell(void* user)
{
    return static_cast<MemoryFile*>(user)->position;
}

struct SndfileCloser
{
    void operator()(SNDFILE* file) const { sf_close(file); }
};

struct ResamplerDeleter
{
    void operator()(SRC_STATE* state) const { src_delete(state); }
};

int16_t toInt16(float sample)
{
    // Scaled by 2^15 so that 16-bit sources come back bit for bit.
    const float scaled = std::nearbyint(sample * 32768.0f);
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

constexpr int64_t ReadFrames = 4096;

// The most a song may hold: what its samples and its waveform are given room for.
constexpr int64_t MaxSongFrames = DecodedSound::MaxChunks * DecodedSound::ChunkFrames;
static_assert(MaxSongFrames == WaveformPeaks::MaxFrames);

// A duration as hours, minutes and seconds ("13:31:35").
QString clockText(double seconds)
{
    const auto whole = static_cast<long long>(std::floor(seconds));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// Band-limited sinc interpolation: flat to 20 kHz and alias-free at the usual rates, at a
// small fraction of a core on the decoding thread; the best converter costs about four
// times as much for a difference no one hears.
constexpr int ResamplerQuality = SRC_SINC_MEDIUM_QUALITY;

} // namespace

struct Decoder::Impl
{
    std::unique_ptr<MemoryFile> memory;
    std::unique_ptr<SNDFILE, SndfileCloser> file;
    std::unique_ptr<SRC_STATE, ResamplerDeleter> resampler;
    SF_INFO info{};
    double ratio = 1.0;
    int fileChannels = 0;
    int channels = 0;
    std::vector<float> readBuffer; // the file's own channels
    std::vector<float> keptBuffer; // reduced to at most two
    std::vector<float> resampled;
    std::vector<int16_t> pcm;
};

Decoder::Decoder(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Decoder::~Decoder() = default;

std::unique_ptr<Decoder> Decoder::openFile(const std::string& path, int outRate, QString* error)
{
    auto impl = std::make_unique<Impl>();
    impl->file.reset(sf_open(path.c_str(), SFM_READ, &impl->info));
    const QString name = QString::fromStdString(path);
    if (!impl->file) {
        if (error)
            *error = QStringLiteral("Cannot open \"%1\": %2").arg(name, sf_strerror(nullptr));
        return nullptr;
    }
    return open(std::move(impl), name, outRate, error);
}

std::unique_ptr<Decoder> Decoder::openMemory(const void* data, int64_t bytes, int outRate,
                                             QString* error)
{
    if (!data || bytes <= 0) {
        if (error)
            *error = QStringLiteral("No sound data in memory");
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->memory = std::make_unique<MemoryFile>();
    const auto* begin = static_cast<const unsigned char*>(data);
    impl->memory->bytes.assign(begin, begin + bytes);
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    impl->file.reset(sf_open_virtual(&io, SFM_READ, &impl->info, impl->memory.get()));
    if (!impl->file) {
        if (error)
            *error =
                QStringLiteral("Cannot read the sound in memory: %1").arg(sf_strerror(nullptr));
        return nullptr;
    }
    return open(std::move(impl), QStringLiteral("memory"), outRate, error);
}

std::unique_ptr<Decoder> Decoder::open(std::unique_ptr<Impl> impl, const QString& name, int outRate,
                                       QString* error)
{
    const SF_INFO& info = impl->info;
    if (info.channels < 1 || info.samplerate < 1 || outRate < 1) {
        if (error)
            *error = QStringLiteral("\"%1\" has no usable audio").arg(name);
        return nullptr;
    }
    impl->fileChannels = info.channels;
    impl->channels = std::min(info.channels, 2);
    impl->ratio = static_cast<double>(outRate) / info.samplerate;

    const bool mpeg = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    const bool headerLength = !mpeg && info.frames >= 0 && info.frames != SF_COUNT_MAX;
    int64_t expected = -1;
    if (headerLength) {
        expected = info.samplerate == outRate
                       ? info.frames
                       : std::llround(static_cast<double>(info.frames) * impl->ratio);
    }

    // A header that claims more than a song may hold is not believed: sizing anything by
    // it could take all the memory there is, and such a song could not be played anyway.
    if (expected > MaxSongFrames) {
        if (error)
            *error = QStringLiteral("\"%1\" claims to last %2, longer than a song may (%3)")
                         .arg(name, clockText(double(info.frames) / info.samplerate),
                              clockText(double(MaxSongFrames) / outRate));
        return nullptr;
    }

    if (info.samplerate != outRate) {
        int status = 0;
        impl->resampler.reset(src_new(ResamplerQuality, impl->channels, &status));
        if (!impl->resampler) {
            if (error)
                *error =
                    QStringLiteral("Cannot resample \"%1\": %2").arg(name, src_strerror(status));
            return nullptr;
        }
    }
    impl->readBuffer.resize(static_cast<size_t>(ReadFrames * impl->fileChannels));
    impl->keptBuffer.resize(static_cast<size_t>(ReadFrames * impl->channels));

    std::unique_ptr<Decoder> decoder(new Decoder(std::move(impl)));
    decoder->m_sourceRate = info.samplerate;
    decoder->m_sourceChannels = info.channels;
    decoder->m_sourceFrames = info.frames == SF_COUNT_MAX ? 0 : info.frames;
    decoder->m_lengthExact = headerLength;
    decoder->m_sound = std::make_shared<DecodedSound>(decoder->m_impl->channels, outRate, expected);
    decoder->m_peaks =
        std::make_shared<WaveformPeaks>(decoder->m_impl->channels, outRate, expected);
    if (!headerLength && decoder->m_sourceFrames > 0)
        decoder->m_sound->setEstimatedFrames(
            std::llround(static_cast<double>(decoder->m_sourceFrames) * decoder->m_impl->ratio));
    return decoder;
}

void Decoder::store(const float* samples, int64_t frames)
{
    Impl& d = *m_impl;
    d.pcm.resize(static_cast<size_t>(frames * d.channels));
    for (size_t i = 0; i < d.pcm.size(); ++i)
        d.pcm[i] = toInt16(samples[i]);
    const int64_t kept = m_sound->append(d.pcm.data(), frames);
    m_peaks->add(d.pcm.data(), kept);
    m_outputFrames += frames;
}

bool Decoder::decodeSome(int64_t inputFrames)
{
    if (m_done)
        return false;
    Impl& d = *m_impl;
    int64_t left = std::max<int64_t>(inputFrames, 1);
    while (left > 0) {
        const sf_count_t want = std::min(left, ReadFrames);
        const sf_count_t got = sf_readf_float(d.file.get(), d.readBuffer.data(), want);
        if (got <= 0) {
            if (sf_error(d.file.get()) != SF_ERR_NO_ERROR)
                m_error = QString::fromUtf8(sf_strerror(d.file.get()));
            finish(true);
            return false;
        }
        left -= got;
        m_inputFrames += got;
        const float* kept = d.readBuffer.data();
        if (d.fileChannels != d.channels) {
            // Beyond stereo only the first two channels are kept.
            for (sf_count_t f = 0; f < got; ++f)
                for (int c = 0; c < d.channels; ++c)
                    d.keptBuffer[static_cast<size_t>(f * d.channels + c)] =
                        d.readBuffer[static_cast<size_t>(f * d.fileChannels + c)];
            kept = d.keptBuffer.data();
        }
        if (!d.resampler) {
            store(kept, got);
            continue;
        }
        const auto room = static_cast<long>(std::ceil(static_cast<double>(got) * d.ratio)) + 64;
        d.resampled.resize(static_cast<size_t>(room * d.channels));
        SRC_DATA job{};
        job.data_in = kept;
        job.input_frames = static_cast<long>(got);
        job.src_ratio = d.ratio;
        job.end_of_input = 0;
        while (job.input_frames > 0) {
            job.data_out = d.resampled.data();
            job.output_frames = room;
            if (src_process(d.resampler.get(), &job) != 0)
                break;
            store(d.resampled.data(), job.output_frames_gen);
            job.data_in += job.input_frames_used * d.channels;
            job.input_frames -= job.input_frames_used;
            if (job.input_frames_used == 0 && job.output_frames_gen == 0)
                break;
        }
    }
    return true;
}

void Decoder::flushResampler()
{
    Impl& d = *m_impl;
    if (!d.resampler)
        return;
    // The converter holds back the last half of its filter, and at the end of the input it
    // lets that go short; silence fed after the music brings the tail out whole. Exactly
    // the frames the song lasts at the new rate are kept.
    const int64_t target = std::llround(static_cast<double>(m_inputFrames) * d.ratio);
    const long room = 4096;
    const std::vector<float> silence(static_cast<size_t>(1024 * d.channels), 0.0f);
    d.resampled.resize(static_cast<size_t>(room * d.channels));
    for (int guard = 0; guard < 1024 && m_outputFrames < target; ++guard) {
        SRC_DATA job{};
        job.data_in = silence.data();
        job.input_frames = 1024;
        job.src_ratio = d.ratio;
        job.data_out = d.resampled.data();
        job.output_frames = room;
        if (src_process(d.resampler.get(), &job) != 0)
            break;
        store(d.resampled.data(),
              std::min<int64_t>(job.output_frames_gen, target - m_outputFrames));
    }
}

void Decoder::finish(bool keepLength)
{
    if (keepLength)
        flushResampler();
    // A file that ends before the length its header gives (cut off, still downloading) is
    // as long as the audio that decoded, not padded out with silence.
    const bool cutShort = m_lengthExact && m_inputFrames < m_sourceFrames;
    // The peaks are complete before the sound says it is.
    m_peaks->finish(keepLength && !cutShort);
    m_sound->finish(keepLength && !cutShort);
    m_done = true;
    m_impl->file.reset();
    m_impl->memory.reset();
}

void Decoder::decodeAll(std::stop_token stop)
{
    while (!stop.stop_requested() && decodeSome(ReadFrames * 4)) {
    }
    if (!m_done)
        finish(false);
}

} // namespace tavix
