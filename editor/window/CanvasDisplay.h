#pragma once

#include "KeP.h"
#include "TavixKey.h"

#include <QCoreApplication>
#include <QSet>
#include <QString>

#include <cstdint>
#include <memory>

namespace tavix {

class KeP;
class KeyCanvas;
class KeyDisplayHost;
class WaveformPeaks;

// The key display as the window drives it: made on first use, set up for the chart's
// cells, and a frame drawn at a scroll position with the song's waveform and beat lines
// when they are shown. An error of the display is told once on stderr, and the display
// goes on with the next frame.
class CanvasDisplay
{
    Q_DECLARE_TR_FUNCTIONS(CanvasDisplay)
public:
    CanvasDisplay(KeP& kep, KeyDisplayHost& host, KeyCanvas& canvas)
        : m_kep(kep), m_host(host), m_canvas(canvas)
    {
    }

    TavixKey& renderer();
    bool hasRenderer() const { return bool(m_renderer); }

    // Sets the display up for the chart as it is now.
    void initialise();
    // Draws a frame at scroll position `ms` with the cursor at `curMs`, following it when
    // `GoP`; the guides lie `leadMs` ahead of the song's time.
    void render(int32_t ms, int32_t curMs, bool GoP, double leadMs);

    void setPeaks(std::shared_ptr<const WaveformPeaks> peaks) { m_peaks = std::move(peaks); }
    const std::shared_ptr<const WaveformPeaks>& peaks() const { return m_peaks; }
    bool guidesShown() const { return m_guidesShown; }
    // The zoom, 8 to 64 pixels a cell, of every frame from now on.
    void setCellWidth(int width);
    int cellWidth() const { return m_cellWidth; }
    void setGuidesShown(bool shown) { m_guidesShown = shown; }

    // The keys the last frame found inside the drag rectangle.
    SelectionList selection();
    // Each distinct error once.
    void reportError(const QString& what);

private:
    KeP& m_kep;
    KeyDisplayHost& m_host;
    KeyCanvas& m_canvas;
    std::unique_ptr<TavixKey> m_renderer;
    std::shared_ptr<const WaveformPeaks> m_peaks;
    bool m_guidesShown = true;
    int m_cellWidth = 32;
    QSet<QString> m_reported;
};

} // namespace tavix
