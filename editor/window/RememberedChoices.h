#pragma once

#include <QSettings>

#include <functional>
#include <memory>
#include <optional>

namespace tavix {

// The choices the window remembers between runs: the metronome, the waveform and beat
// lines, the calibrated output latency. Each reads as nothing where no settings are to be
// had, and the window then keeps what it starts with.
class RememberedChoices
{
public:
    using Settings = std::function<std::unique_ptr<QSettings>()>;

    explicit RememberedChoices(const Settings& settings) : m_settings(settings) {}

    std::optional<bool> metronome() const;
    void setMetronome(bool on) const;
    std::optional<bool> guidesShown() const;
    void setGuidesShown(bool shown) const;
    std::optional<double> latencyMs() const;

private:
    std::unique_ptr<QSettings> open() const;

    const Settings& m_settings;
};

} // namespace tavix
