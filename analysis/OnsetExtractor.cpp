#include "OnsetExtractor.h"

#include "AubioObjects.h"
#include "SampleSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace tavix {

namespace {

// Below this a mix's attacks are its kicks and snares.
constexpr double LowCutoffHz = 200.0;

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

// aubio's spectral flux over a sliding Hann window. The magnitudes are taken from the
// complex spectrum here: the flux needs no phases, which cost most of a phase vocoder's time.
class SpectralFlux
{
public:
    explicit SpectralFlux(uint_t hop)
        : m_hop(hop), m_window(new_aubio_window(const_cast<char_t*>("hanningz"), 2 * hop)),
          m_frame(new_fvec(2 * hop)), m_weighted(new_fvec(2 * hop)), m_complex(new_fvec(2 * hop)),
          m_spectrum(new_cvec(2 * hop)), m_out(new_fvec(1)), m_fft(new_aubio_fft(2 * hop)),
          m_flux(new_aubio_specdesc("specflux", 2 * hop))
    {
    }

    bool ready() const
    {
        return m_window && m_frame && m_weighted && m_complex && m_spectrum && m_out && m_fft &&
               m_flux;
    }

    // The flux of the window that ends with these `hop` samples.
    float next(const float* samples)
    {
        float* frame = m_frame->data;
        std::memmove(frame, frame + m_hop, m_hop * sizeof(float));
        std::memcpy(frame + m_hop, samples, m_hop * sizeof(float));
        fvec_weighted_copy(m_frame.get(), m_window.get(), m_weighted.get());
        aubio_fft_do_complex(m_fft.get(), m_weighted.get(), m_complex.get());
        // The complex spectrum is packed as r0, r1 .. r(n/2), i(n/2-1) .. i1.
        const uint_t n = 2 * m_hop;
        const float* c = m_complex->data;
        float* norm = m_spectrum->norm;
        norm[0] = std::abs(c[0]);
        for (uint_t k = 1; k < m_hop; ++k)
            norm[k] = std::sqrt(c[k] * c[k] + c[n - k] * c[n - k]);
        norm[m_hop] = std::abs(c[m_hop]);
        aubio_specdesc_do(m_flux.get(), m_spectrum.get(), m_out.get());
        return m_out->data[0];
    }

private:
    uint_t m_hop;
    aubio::Owned<fvec_t> m_window;
    aubio::Owned<fvec_t> m_frame;
    aubio::Owned<fvec_t> m_weighted;
    aubio::Owned<fvec_t> m_complex;
    aubio::Owned<cvec_t> m_spectrum;
    aubio::Owned<fvec_t> m_out;
    aubio::Owned<aubio_fft_t> m_fft;
    aubio::Owned<aubio_specdesc_t> m_flux;
};

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

// A second-order low-pass (Butterworth, from the bilinear transform): what is left of a
// mix below it is mostly the kick and the body of the snare, which mark the beats.
class LowPass
{
public:
    LowPass(double cutoffHz, int rate)
    {
        const double k = std::tan(3.14159265358979323846 * cutoffHz / rate);
        const double norm = 1.0 / (1.0 + std::sqrt(2.0) * k + k * k);
        m_b0 = k * k * norm;
        m_b1 = 2.0 * m_b0;
        m_a1 = 2.0 * (k * k - 1.0) * norm;
        m_a2 = (1.0 - std::sqrt(2.0) * k + k * k) * norm;
    }

    void run(const float* in, int64_t n, float* out)
    {
        for (int64_t i = 0; i < n; ++i) {
            const double x = in[i];
            const double y = m_b0 * x + m_b1 * m_x1 + m_b0 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
            m_x2 = m_x1;
            m_x1 = x;
            m_y2 = m_y1;
            m_y1 = y;
            out[i] = float(y);
        }
    }

private:
    double m_b0, m_b1, m_a1, m_a2;
    double m_x1 = 0.0, m_x2 = 0.0, m_y1 = 0.0, m_y2 = 0.0;
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

std::optional<OnsetFeatures> OnsetExtractor::run(const SampleSource& source,
                                                 const std::stop_token& stop,
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

    SpectralFlux flux(hop);
    aubio::Owned<fvec_t> in(new_fvec(hop));
    if (!flux.ready() || !in)
        return features;

    BlockEnergy energy(fineBlock);
    BlockEnergy lowEnergy(fineBlock);
    LowPass lowPass(LowCutoffHz, rate);
    features.low.reserve(features.fine.capacity());
    const int64_t hopsPerRead = 64;
    std::vector<float> buffer(size_t(hop * hopsPerRead));
    std::vector<float> low(buffer.size());
    const int64_t total = source.frames();
    for (int64_t at = 0; at < total;) {
        if (stop.stop_requested())
            return std::nullopt;
        const int64_t got = source.readMono(at, int64_t(buffer.size()), buffer.data());
        if (got <= 0)
            break;
        energy.feed(buffer.data(), got, features.fine);
        lowPass.run(buffer.data(), got, low.data());
        lowEnergy.feed(low.data(), got, features.low);
        for (int64_t h = 0; h < got; h += hop) {
            const int64_t n = std::min<int64_t>(hop, got - h);
            std::memcpy(in->data, buffer.data() + h, size_t(n) * sizeof(float));
            std::fill(in->data + n, in->data + hop, 0.0f);
            features.strength.push_back(flux.next(in->data));
        }
        at += got;
        if (progress)
            progress(double(at) / double(total));
    }
    energyToRise(features.fine, fineBlock, features.fineHopMs);
    energyToRise(features.low, fineBlock, features.fineHopMs);
    return features;
}

} // namespace tavix
