#pragma once

// What the audio benchmarks share: a 16-bit WAV writer for their generated songs and a
// CPU clock.
#include <sndfile.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tavix::bench {

inline bool writeWav(const std::string& path, int channels, const std::vector<int16_t>& samples)
{
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    sf_close(file);
    return true;
}

// CLOCK_THREAD_CPUTIME_ID or CLOCK_PROCESS_CPUTIME_ID, in seconds.
inline double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

} // namespace tavix::bench
