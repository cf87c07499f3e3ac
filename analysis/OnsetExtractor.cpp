#include "OnsetExtractor.h"

#include "AubioObjects.h"
#include "SampleSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace tavix {

namespace {

// aubio's hop: 512 frames at 44.1 or 48 kHz (about 11 ms), the nearest power of two
// elsewhere; its window is twice that.
uint_t hopFor(int rate)
{
    uint_t hop = 64;
    while (hop < 8192 && std::abs(double(hop * 2) - rate * 512.0 / 44100.0) <
                             std::abs(double(hop) - rate * 512.0 / 44100.0))
        hop *= 2;
    return hop;
}

// Energy of each fine block, summed.
class BlockEnergy
{
public:
    explicit BlockEnergy(int blockFrames) : m_block(blockFrames) {}

    void feed(const float* x, int64_t n, std::vector<float>& out)
    {
        for (int64_t i = 0; i < n; ++i) {
            m_sum += double(x[i]) * x[i];
            if (++m_filled == m_block) {
                out.push_back(float(m_sum));
                m_sum = 0.0;
                m_filled = 0;
            }
        }
    }

private:
    int m_block;
    int m_filled = 0;
    double m_sum = 0.0;
};

// The rise of energy at each fine block: the energy of the 20 ms from the block on
// against that of the 40 ms before it, compressed. The windows are long enough that the
// ripple of low tones and of chords beating evens out, and they meet at the block, so an
// attack rises most at the block it starts in, whatever sounds on underneath. Done in
// place: `energy` becomes the rise.
void energyToRise(std::vector<float>& energy, int blockFrames, double fineHopMs)
{
    const auto ahead = size_t(std::max(1L, std::lround(20.0 / fineHopMs)));
    const auto behind = size_t(std::max(1L, std::lround(40.0 / fineHopMs)));
    // Roughly logarithmic above -40 dB, linear (so silent) below.
    const auto compress = [](double meanSquare) { return std::log1p(1.0e4 * meanSquare); };
    std::vector<double> prefix(energy.size() + 1, 0.0);
    for (size_t j = 0; j < energy.size(); ++j)
        prefix[j + 1] = prefix[j] + energy[j];
    for (size_t j = 0; j < energy.size(); ++j) {
        const size_t end = std::min(energy.size(), j + ahead);
        const size_t begin = j >= behind ? j - behind : 0;
        const double next = (prefix[end] - prefix[j]) / double((end - j) * size_t(blockFrames));
        const double before =
            j > begin ? (prefix[j] - prefix[begin]) / double((j - begin) * size_t(blockFrames))
                      : 0.0;
        energy[j] = float(std::max(0.0, compress(next) - compress(before)));
    }
}

} // namespace

std::optional<OnsetFeatures> OnsetExtractor::run(const SampleSource& source, std::stop_token stop,
                                                 const Progress& progress)
{
    OnsetFeatures features;
    features.durationMs = source.durationMs();
    const int rate = source.rate();
    if (source.frames() <= 0)
        return features;

    const uint_t hop = hopFor(rate);
    const int fineBlock = std::max(8, int(std::lround(rate / 689.0)));
    features.strengthHopMs = 1000.0 * hop / rate;
    features.fineHopMs = 1000.0 * fineBlock / rate;
    features.strength.reserve(size_t(source.frames() / hop + 2));
    features.fine.reserve(size_t(source.frames() / fineBlock + 2));

    aubio::Owned<aubio_tempo_t> tempo(new_aubio_tempo("default", 2 * hop, hop, uint_t(rate)));
    aubio::Owned<aubio_pvoc_t> pvoc(new_aubio_pvoc(2 * hop, hop));
    aubio::Owned<aubio_specdesc_t> flux(new_aubio_specdesc("specflux", 2 * hop));
    aubio::Owned<fvec_t> in(new_fvec(hop));
    aubio::Owned<fvec_t> beat(new_fvec(2));
    aubio::Owned<fvec_t> fluxOut(new_fvec(1));
    aubio::Owned<cvec_t> spectrum(new_cvec(2 * hop));
    if (!tempo || !pvoc || !flux || !in || !beat || !fluxOut || !spectrum)
        return features;

    BlockEnergy energy(fineBlock);
    const int64_t hopsPerRead = 64;
    std::vector<float> buffer(size_t(hop * hopsPerRead));
    const int64_t total = source.frames();
    for (int64_t at = 0; at < total;) {
        if (stop.stop_requested())
            return std::nullopt;
        const int64_t got = source.readMono(at, int64_t(buffer.size()), buffer.data());
        if (got <= 0)
            break;
        energy.feed(buffer.data(), got, features.fine);
        for (int64_t h = 0; h < got; h += hop) {
            const int64_t n = std::min<int64_t>(hop, got - h);
            std::memcpy(in->data, buffer.data() + h, size_t(n) * sizeof(float));
            std::fill(in->data + n, in->data + hop, 0.0f);
            aubio_tempo_do(tempo.get(), in.get(), beat.get());
            if (beat->data[0] != 0.0f)
                features.trackedBeatsMs.push_back(aubio_tempo_get_last_ms(tempo.get()));
            aubio_pvoc_do(pvoc.get(), in.get(), spectrum.get());
            aubio_specdesc_do(flux.get(), spectrum.get(), fluxOut.get());
            features.strength.push_back(fluxOut->data[0]);
        }
        at += got;
        if (progress)
            progress(double(at) / double(total));
    }
    energyToRise(features.fine, fineBlock, features.fineHopMs);
    // The tracker can place a beat past the end while it catches up.
    while (!features.trackedBeatsMs.empty() && features.trackedBeatsMs.back() > features.durationMs)
        features.trackedBeatsMs.pop_back();
    return features;
}

} // namespace tavix
