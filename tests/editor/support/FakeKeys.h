#pragma once

#include "KeyInput.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavix::test {

// Key states and presses set by the test. The window (or the keyboard device of a test) owns the
// source; the test keeps a shared view of what it returns.
struct FakeKeys
{
    std::array<uint8_t, 256> state{};
    std::vector<KeyPress> presses;
    int reads = 0;
    int takes = 0;
    int resyncs = 0;

    void press(uint8_t code, std::chrono::steady_clock::time_point when)
    {
        state[code] = 0x80;
        presses.push_back({code, when});
    }
    void release(uint8_t code) { state[code] = 0; }
};

class FakeKeySource : public KeySource
{
public:
    explicit FakeKeySource(std::shared_ptr<FakeKeys> keys) : m_keys(std::move(keys)) {}
    void readState(std::array<uint8_t, 256>& state) override
    {
        ++m_keys->reads;
        state = m_keys->state;
    }
    std::vector<KeyPress> takePresses() override
    {
        ++m_keys->takes;
        std::vector<KeyPress> taken;
        taken.swap(m_keys->presses);
        return taken;
    }
    void resync() override { ++m_keys->resyncs; }

private:
    std::shared_ptr<FakeKeys> m_keys;
};

} // namespace tavix::test
