#include "FrameTick.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>

#include <cmath>

namespace tavix {

std::optional<double> FrameTick::parseRate(const QString& text)
{
    bool ok = false;
    const double hz = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(hz) || hz < MinHz || hz > MaxHz)
        return std::nullopt;
    return hz;
}

double FrameTick::rateFor(const QScreen* screen)
{
    if (const auto env = parseRate(qEnvironmentVariable("TAVIX_FRAME_HZ")))
        return *env;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const double hz = screen->refreshRate();
        if (std::isfinite(hz) && hz >= MinHz && hz <= MaxHz)
            return hz;
    }
    return FallbackHz;
}

int FrameTick::intervalMs(double hz)
{
    if (!(hz > 0.0))
        hz = FallbackHz;
    return std::max(1, int(std::lround(1000.0 / hz)));
}

} // namespace tavix
