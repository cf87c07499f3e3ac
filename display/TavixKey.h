#pragma once

#include "KeyDisplayHost.h"
#include "WaveformPeaks.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace tavix {

class KeP;
struct TimeAxis;

// One corner of a screen-space quad.
struct ScreenVertex
{
    float x = 0, y = 0, z = 0, rhw = 1;
    uint32_t color = 0; // red + 256 green + 65536 blue
    uint32_t specular = 0;
    float tu = 0, tv = 0;
};

// The pictures a quad can show: those of the classic frame, then the guides' lines and
// the digits of the measure numbers (Digit0 + d).
enum class Texture : int {
    Back = 0,
    Line = 1,
    Key1,
    Key2,
    Key3,
    Key4,
    Key5,
    Key6,
    Key7,
    BeatLine,
    MeasureLine,
    CursorCell,
    MarkOnTime,
    MarkEarly,
    MarkLate,
    MarkMissed,
    Digit0
};

// What the frame shows of the song behind the keys when `visible`: the waveform of
// `peaks` on the chart's time axis (the song's time plus `leadMs`) and lines on the beats
// and measures with the measure numbers. Off, the frame is the classic one.
struct SongGuides
{
    bool visible = false;
    std::shared_ptr<const WaveformPeaks> peaks;
    double leadMs = 0.0;
};

// The rows of a band that the waveform covers in one pixel column: top .. bottom - 1,
// counted from the band's top; none when top == bottom.
struct WaveColumn
{
    int32_t top = 0;
    int32_t bottom = 0;
};

// One primitive of a frame: four vertices in strip order TL, TR, BL, BR.
struct Quad
{
    Texture texture = Texture::Back;
    std::array<ScreenVertex, 4> v{};
};

inline constexpr uint32_t White = 255u + 256u * 255u + 65536u * 255u;
inline constexpr uint32_t Grey = 150u + 256u * 150u + 65536u * 150u;

// The key display: builds each frame of the canvas as a list of quads from the chart and
// the window's drag state, then paints it with QPainter onto the surface.
class TavixKey
{
public:
    TavixKey(const KeP& kep, KeyDisplayHost& host);
    ~TavixKey();

    // Resizes the grid to TotalB cells when TotalB > 0 (every call), then, once per
    // object, binds the surface and loads the pictures. Throws std::runtime_error on
    // failure (overflow, missing picture); a failed set-up is not retried.
    void Initialise(CanvasSurface& DisplayA, int32_t TotalB);

    // Draws one frame at scroll position ms (units of 100 ms) with the cursor at curMs
    // (none when negative), following the cursor when GoP. Throws std::runtime_error
    // when the frame cannot be drawn.
    void Render(int32_t ms, int32_t curMs, bool GoP);

    // The guides of the frames from now on; the frame reads the tempo from the chart.
    void setGuides(SongGuides guides);
    const SongGuides& guides() const { return m_guides; }

    // The zoom of the frames from now on: 8, 16, 32 or 64 pixels a cell (32, the classic
    // canvas, for anything else). Glyphs narrower than 62 pixels are drawn square.
    void setCellWidth(int width);
    int cellWidth() const { return m_cellWidth; }

    int32_t SelectedKeys = 0;
    // Entry Index (0..800) of the keys found in the drag rectangle of the last frame;
    // throws std::out_of_range outside that.
    int32_t GetKeyS(int32_t Index) const;

    bool Inited() const { return m_inited; }
    bool SetupDone() const { return m_setupDone; }

    static ScreenVertex MakeVertex(float x, float y, float z, float rhw, uint32_t color,
                                   uint32_t specular, float tu, float tv);

    // The two background bands, built once by the first Initialise.
    const std::array<ScreenVertex, 4>& backQuadTop() const { return m_backQuadTop; }
    const std::array<ScreenVertex, 4>& backQuadBottom() const { return m_backQuadBottom; }

    // The last frame drawn, as quads and as painted.
    const std::vector<Quad>& lastFrame() const { return m_frame; }
    const QImage& lastImage() const { return m_image; }
    // The waveform of the last frame, one entry per canvas pixel column; empty when the
    // frame drew none.
    const std::vector<WaveColumn>& lastWaveform() const { return m_waveColumns; }

    // The guides' geometry: the waveform spans each band around its middle, the measure
    // numbers stand in the strip between the bands.
    static constexpr int BandHeight = 189;
    static constexpr int LowerBandTop = 207;
    static constexpr double WaveHalfHeight = 85.0;
    static constexpr int NumberTop = 191;
    static constexpr int NumberHeight = 14;

    // The quad sizes the frames use most, pre-scaled once so painting them is a plain blit.
    static constexpr int GlyphSize = 62;
    static constexpr int MarkerHeight = 36;

private:
    void setUp(CanvasSurface& surface);
    void loadPictures();
    void makeGuidePictures();
    void buildFrame(int32_t scrollMs, int32_t curMs, bool GoP);
    // `cursor`: the left and right of the cursor line, none without one.
    void addGuides(const TimeAxis& axis, const std::optional<std::pair<float, float>>& cursor);
    void addWaveform(const TimeAxis& axis);
    void addOutline(float left, float top, float right, float bottom);
    void makeZoomedGlyphs();
    void addMeasureNumber(float lineX, int64_t measure,
                          const std::optional<std::pair<float, float>>& cursor);
    void paintFrame();
    void paintBandsWithWaveform();
    void addQuad(Texture texture, float x0, float y0, float x1, float y1, uint32_t color,
                 float rhw = 1.0f);
    const QImage& imageFor(Texture texture, uint32_t color) const;
    const QImage* prescaledFor(const Quad& quad) const;

    static constexpr size_t TextureCount = size_t(Texture::Digit0) + 10;
    // One painted version of a picture: as loaded, dimmed for a selected key, and each of
    // them already stretched over the quad size it usually covers.
    struct Picture
    {
        QImage plain;
        QImage tinted;
        QImage plainScaled;
        QImage tintedScaled;
        // Stretched over the glyph size of the zoom of now, when it is not the usual one.
        QImage plainZoomed;
        QImage tintedZoomed;
    };

    const KeP& m_kep;
    KeyDisplayHost& m_host;
    CanvasSurface* m_surface = nullptr;
    bool m_inited = false;
    bool m_setupDone = false;
    bool m_frameBusy = false;
    std::array<int32_t, 801> m_keyS{};
    std::array<ScreenVertex, 4> m_backQuadTop{};
    std::array<ScreenVertex, 4> m_backQuadBottom{};
    std::array<Picture, TextureCount> m_pictures;
    std::vector<Quad> m_frame;
    QImage m_image;
    SongGuides m_guides;
    // The band as the waveform tints it, made once at set-up.
    QImage m_waveBand;
    QSize m_digitSize;
    std::vector<PeakRange> m_peakColumns;
    std::vector<WaveColumn> m_waveColumns;
    std::vector<int32_t> m_waveTops; // the same, as the painter reads them
    std::vector<int32_t> m_waveBottoms;
    bool m_guidesDrawn = false;
    int m_cellWidth = 32;
};

} // namespace tavix
