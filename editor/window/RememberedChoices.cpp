#include "RememberedChoices.h"

#include "LatencyDialog.h"

namespace tavix {

namespace {

const char* const MetronomeKey = "playback/metronome";
const char* const GuidesKey = "view/waveformAndBeatLines";

} // namespace

std::unique_ptr<QSettings> RememberedChoices::open() const
{
    return m_settings ? m_settings() : nullptr;
}

std::optional<bool> RememberedChoices::metronome() const
{
    if (const auto settings = open())
        return settings->value(QLatin1String(MetronomeKey), false).toBool();
    return std::nullopt;
}

void RememberedChoices::setMetronome(bool on) const
{
    if (const auto settings = open())
        settings->setValue(QLatin1String(MetronomeKey), on);
}

std::optional<bool> RememberedChoices::guidesShown() const
{
    if (const auto settings = open())
        return settings->value(QLatin1String(GuidesKey), true).toBool();
    return std::nullopt;
}

void RememberedChoices::setGuidesShown(bool shown) const
{
    if (const auto settings = open())
        settings->setValue(QLatin1String(GuidesKey), shown);
}

std::optional<double> RememberedChoices::latencyMs() const
{
    if (const auto settings = open())
        return LatencyDialog::savedLatencyMs(*settings);
    return std::nullopt;
}

} // namespace tavix
