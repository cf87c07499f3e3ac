#pragma once

#include <aubio/aubio.h>

#include <memory>

namespace tavix::aubio {

// Owners of aubio's objects, each released by aubio's own function.
struct Deleter
{
    void operator()(fvec_t* v) const { del_fvec(v); }
    void operator()(cvec_t* v) const { del_cvec(v); }
    void operator()(aubio_fft_t* f) const { del_aubio_fft(f); }
    void operator()(aubio_specdesc_t* s) const { del_aubio_specdesc(s); }
};

template <typename T> using Owned = std::unique_ptr<T, Deleter>;

} // namespace tavix::aubio
