#include "TavixKey.h"

#include "KeP.h"
#include "ResourceInit.h"
#include "Rounding.h"
#include "TimeAxis.h"
#include "WaveformPeaks.h"

#include <QFontMetrics>
#include <QPainter>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tavix {

namespace Internal {

// Frames may be asked for from inside a frame (the scroll bar's handler runs while the
// follow rule moves it); the flag turns those into no-ops and must drop again however the
// frame ends.
class BusyFlag
{
public:
    explicit BusyFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~BusyFlag() { m_flag = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& m_flag;
};

// Where each picture comes from and the quad size it is usually stretched over.
struct PictureSource
{
    const char* path;
    int usualHeight; // 0: as tall as the background band
};

constexpr int BandHeight = TavixKey::BandHeight;

constexpr std::array<PictureSource, 9> PictureSources{{
    {":/BMP/RM", BandHeight},
    {":/BMP/RY", 0},
    {":/DDS/A1", TavixKey::GlyphSize},
    {":/DDS/A2", TavixKey::GlyphSize},
    {":/DDS/A3", TavixKey::GlyphSize},
    {":/DDS/A4", TavixKey::GlyphSize},
    {":/DDS/A5", TavixKey::GlyphSize},
    {":/DDS/A6", TavixKey::GlyphSize},
    {":/DDS/A7", TavixKey::MarkerHeight},
}};

// The colour channels times 150/255: what a grey vertex colour does to a texel. Works on
// pre-multiplied texels, so the glow's alpha is kept and only its light is dimmed.
QImage dimmed(const QImage& source)
{
    QImage out = source.copy();
    const bool opaque = out.format() == QImage::Format_RGB32;
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const auto dim = [](int c) { return (c * 150 + 127) / 255; };
            line[x] = qRgba(dim(qRed(p)), dim(qGreen(p)), dim(qBlue(p)), opaque ? 255 : qAlpha(p));
        }
    }
    return out;
}

// Nearest-texel stretch: each target pixel takes the texel under its centre.
QImage stretched(const QImage& source, int width, int height)
{
    QImage out(width, height, source.format());
    const int sw = source.width();
    const int sh = source.height();
    for (int y = 0; y < height; ++y) {
        const int sy = std::min(sh - 1, int((y + 0.5) * sh / height));
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(sy));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = in[std::min(sw - 1, int((x + 0.5) * sw / width))];
    }
    return out;
}

bool isWhole(float v)
{
    return std::floor(v) == v;
}

// The guides' colours: the waveform is a muted, translucent tint of the band; beat lines
// are faint, measure lines strong.
const QColor WaveColour(205, 170, 235);
constexpr double WaveOpacity = 0.38;
const QColor BeatLineColour(255, 255, 255, 60);
const QColor MeasureLineColour(255, 236, 200, 170);
const QColor NumberColour(235, 235, 235);
// The edit cursor's cell: a faint light over its band, under the keys.
const QColor CursorCellColour(255, 255, 255, 34);
// A test play's marks under the keys it judged: on time, early, late, missed.
const std::array<QColor, 4> MarkColours{QColor(80, 220, 110), QColor(90, 160, 255),
                                        QColor(255, 150, 70), QColor(235, 45, 45)};
constexpr int MarkHeight = 4;
constexpr int LoopBandHeight = 3;

// The band as it shows under the waveform's tint, pixel by pixel.
QImage tintedBand(const QImage& band, const QColor& colour, double opacity)
{
    QImage out = band.copy();
    const auto mix = [opacity](int under, int over) {
        return int(std::lround(under * (1.0 - opacity) + over * opacity));
    };
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgb(mix(qRed(p), colour.red()), mix(qGreen(p), colour.green()),
                           mix(qBlue(p), colour.blue()));
        }
    }
    return out;
}

QImage solid(const QColor& colour)
{
    QImage out(1, 1, QImage::Format_ARGB32_Premultiplied);
    out.fill(colour);
    return out;
}

// The pieces of the guides blended straight into the frame before the painter draws.
bool isGuideLine(Texture texture)
{
    return texture == Texture::BeatLine || texture == Texture::MeasureLine ||
           texture == Texture::CursorCell;
}

const QColor& guideColour(Texture texture)
{
    return texture == Texture::BeatLine      ? BeatLineColour
           : texture == Texture::MeasureLine ? MeasureLineColour
                                             : CursorCellColour;
}

// Source-over of a translucent colour on the pixels a quad covers (those whose centre
// lies inside it), on a pre-multiplied image.
void blendRect(QImage& image, const Quad& quad, const QColor& colour)
{
    const int left = std::max(0, int(std::lround(quad.v[0].x)));
    const int right = std::min(image.width(), int(std::lround(quad.v[3].x)));
    const int top = std::max(0, int(std::lround(quad.v[0].y)));
    const int bottom = std::min(image.height(), int(std::lround(quad.v[3].y)));
    const int a = colour.alpha();
    const int keep = 255 - a;
    const int r = colour.red() * a, g = colour.green() * a, b = colour.blue() * a;
    const auto mix = [keep](int over, int under) { return (over + under * keep + 127) / 255; };
    for (int y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = left; x < right; ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(mix(r, qRed(p)), mix(g, qGreen(p)), mix(b, qBlue(p)),
                            mix(a * 255, qAlpha(p)));
        }
    }
}

// One band row: the tinted pixel where the waveform covers row y, the band's elsewhere.
void composeRow(int y, const int32_t* tops, const int32_t* bottoms, const QRgb* tint,
                const QRgb* under, QRgb* out, int width)
{
    int x = 0;
#if defined(__SSE2__)
    // Four pixels at a time: the frame's largest piece of work when the music is loud.
    const __m128i row = _mm_set1_epi32(y);
    for (; x + 4 <= width; x += 4) {
        const __m128i top = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tops + x));
        const __m128i bottom = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottoms + x));
        const __m128i inside =
            _mm_andnot_si128(_mm_cmpgt_epi32(top, row), _mm_cmpgt_epi32(bottom, row));
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tint + x));
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(under + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_and_si128(inside, t), _mm_andnot_si128(inside, u)));
    }
#endif
    for (; x < width; ++x)
        out[x] = (y >= tops[x] && y < bottoms[x]) ? tint[x] : under[x];
}

} // namespace Internal

using namespace Internal;

TavixKey::TavixKey(const KeP& kep, KeyDisplayHost& host) : m_kep(kep), m_host(host)
{
    // At most 2 bands, 8 outline sides, 129 cells of 7 rows (at 8 pixels a cell) and the
    // cursor; with the guides the cursor's cell, 33 beats of 2 lines and 9 measure numbers
    // of up to 7 digits more.
    m_frame.reserve(2 + 8 + 129 * 7 + 1 + 1 + 33 * 2 + 9 * 7);
}

TavixKey::~TavixKey() = default;

ScreenVertex TavixKey::MakeVertex(float x, float y, float z, float rhw, uint32_t color,
                                  uint32_t specular, float tu, float tv)
{
    ScreenVertex v;
    v.x = x;
    v.y = y;
    v.z = z;
    v.rhw = rhw;
    v.color = color;
    v.specular = specular;
    v.tu = tu;
    v.tv = tv;
    return v;
}

void TavixKey::Initialise(CanvasSurface& DisplayA, int32_t TotalB)
{
    if (TotalB > 0) {
        int32_t elements = 0;
        if (__builtin_mul_overflow(TotalB, int32_t(KeP::RowsPerCell), &elements))
            throw std::overflow_error("key grid size overflows: " + std::to_string(TotalB) +
                                      " cells");
        // The window passes TotalBeats, so this asks nothing of it there; another count is
        // the chart owner's to make.
        if (TotalB != m_kep.TotalBeats && !m_host.fitChart(TotalB))
            throw std::runtime_error("key grid cannot hold " + std::to_string(TotalB) + " cells");
    }
    if (m_setupDone)
        return;
    // Marked before anything can fail, so that a broken set-up is not tried again.
    m_setupDone = true;
    setUp(DisplayA);
    m_inited = true;
}

void TavixKey::setUp(CanvasSurface& surface)
{
    const QSize size = surface.surfaceSize();
    if (size.width() <= 0 || size.height() <= 0)
        throw std::runtime_error("the canvas has no area to draw on");
    m_surface = &surface;
    m_image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    if (m_image.isNull())
        throw std::runtime_error("no memory for the canvas frame");

    loadPictures();
    makeGuidePictures();
    makeZoomedGlyphs();

    const float W = float(size.width());
    const auto corner = [](float x, float y, float tu, float tv) {
        return MakeVertex(x, y, 0.0f, 1.0f, White, 0, tu, tv);
    };
    m_backQuadTop = {corner(0, 0, 0, 0), corner(W, 0, 1, 0), corner(0, 189, 0, 1),
                     corner(W, 189, 1, 1)};
    m_backQuadBottom = {corner(0, 207, 0, 0), corner(W, 207, 1, 0), corner(0, 396, 0, 1),
                        corner(W, 396, 1, 1)};
}

void TavixKey::loadPictures()
{
    initPicturesResources();
    for (size_t i = 0; i < PictureSources.size(); ++i) {
        const PictureSource& source = PictureSources[i];
        QImage loaded(QString::fromLatin1(source.path));
        if (loaded.isNull())
            throw std::runtime_error(std::string("picture not found: ") + source.path);
        Picture& picture = m_pictures[i];
        // Opaque pictures stay opaque so painting them is a copy rather than a blend.
        picture.plain = loaded.convertToFormat(
            loaded.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        picture.tinted = dimmed(picture.plain);
        if (source.usualHeight > 0) {
            const int w = source.usualHeight == BandHeight ? m_image.width() : GlyphSize;
            picture.plainScaled = stretched(picture.plain, w, source.usualHeight);
            picture.tintedScaled = stretched(picture.tinted, w, source.usualHeight);
        }
    }
}

void TavixKey::makeGuidePictures()
{
    m_waveBand = tintedBand(m_pictures[size_t(Texture::Back)].plainScaled, WaveColour, WaveOpacity);
    // The marks are painted over the keys like any picture, guides or not.
    for (const auto& [texture, colour] : {std::pair{Texture::BeatLine, BeatLineColour},
                                          {Texture::MeasureLine, MeasureLineColour},
                                          {Texture::CursorCell, CursorCellColour},
                                          {Texture::MarkOnTime, MarkColours[0]},
                                          {Texture::MarkEarly, MarkColours[1]},
                                          {Texture::MarkLate, MarkColours[2]},
                                          {Texture::MarkMissed, MarkColours[3]}}) {
        Picture& picture = m_pictures[size_t(texture)];
        picture.plain = picture.tinted = solid(colour);
    }

    // Digits of one width, drawn once; a measure number is a row of them.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    const QFontMetrics metrics(font);
    int width = 1;
    for (char d = '0'; d <= '9'; ++d)
        width = std::max(width, metrics.horizontalAdvance(QLatin1Char(d)));
    m_digitSize = QSize(width, NumberHeight);
    for (int d = 0; d < 10; ++d) {
        QImage digit(m_digitSize, QImage::Format_ARGB32_Premultiplied);
        digit.fill(Qt::transparent);
        QPainter painter(&digit);
        painter.setFont(font);
        painter.setPen(NumberColour);
        painter.drawText(digit.rect(), Qt::AlignCenter, QString::number(d));
        painter.end();
        Picture& picture = m_pictures[size_t(Texture::Digit0) + size_t(d)];
        picture.plain = picture.tinted = picture.plainScaled = picture.tintedScaled = digit;
    }
}

void TavixKey::setGuides(SongGuides guides)
{
    m_guides = std::move(guides);
}

void TavixKey::setCellWidth(int width)
{
    width = TimeAxis::isCellWidth(width) ? width : TimeAxis::ClassicCellWidth;
    if (width == m_cellWidth)
        return;
    m_cellWidth = width;
    if (m_setupDone)
        makeZoomedGlyphs();
}

void TavixKey::makeZoomedGlyphs()
{
    // Narrow glyphs are drawn square, the marker keeping its proportions, each stretched
    // once for the zoom rather than every frame.
    const TimeAxis axis = TimeAxis::at(m_kep, 0, m_cellWidth);
    const int size = axis.glyphWidth();
    for (int k = 0; k < KeP::RowsPerCell; ++k) {
        Picture& picture = m_pictures[size_t(Texture::Key1) + size_t(k)];
        const int height = k + 1 == KeP::RowsPerCell ? axis.markerHeight() : size;
        if (size == GlyphSize || picture.plain.isNull()) {
            picture.plainZoomed = picture.tintedZoomed = QImage();
            continue;
        }
        picture.plainZoomed = stretched(picture.plain, size, height);
        picture.tintedZoomed = stretched(picture.tinted, size, height);
    }
}

int32_t TavixKey::GetKeyS(int32_t Index) const
{
    if (Index < 0 || Index >= int32_t(m_keyS.size()))
        throw std::out_of_range("GetKeyS: index " + std::to_string(Index) + " outside 0..800");
    return m_keyS[size_t(Index)];
}

void TavixKey::Render(int32_t ms, int32_t curMs, bool GoP)
{
    if (m_frameBusy || !m_inited)
        return;
    BusyFlag busy(m_frameBusy);

    int32_t scrollMs = 0;
    if (__builtin_mul_overflow(ms, int32_t(100), &scrollMs))
        throw std::overflow_error("scroll position overflows: " + std::to_string(ms) + " x 100");
    buildFrame(scrollMs, curMs, GoP);
    paintFrame();
    m_surface->present(m_image);
}

void TavixKey::addQuad(Texture texture, float x0, float y0, float x1, float y1, uint32_t color,
                       float rhw)
{
    Quad& q = m_frame.emplace_back();
    q.texture = texture;
    q.v = {MakeVertex(x0, y0, 0.0f, rhw, color, 0, 0.0f, 0.0f),
           MakeVertex(x1, y0, 0.0f, rhw, color, 0, 1.0f, 0.0f),
           MakeVertex(x0, y1, 0.0f, rhw, color, 0, 0.0f, 1.0f),
           MakeVertex(x1, y1, 0.0f, rhw, color, 0, 1.0f, 1.0f)};
}

void TavixKey::addOutline(float left, float top, float right, float bottom)
{
    addQuad(Texture::Line, left, top, left + 1, bottom, White);
    addQuad(Texture::Line, right - 1, top, right, bottom, White);
    addQuad(Texture::Line, left, top, right, top + 1, White);
    addQuad(Texture::Line, left, bottom - 1, right, bottom, White);
}

void TavixKey::buildFrame(int32_t scrollMs, int32_t curMs, bool GoP)
{
    const TimeAxis axis = TimeAxis::at(m_kep, scrollMs, m_cellWidth);
    const int32_t firstBeat = axis.firstBeat;

    m_frame.clear();
    Quad& top = m_frame.emplace_back();
    top.texture = Texture::Back;
    top.v = m_backQuadTop;
    Quad& bottom = m_frame.emplace_back();
    bottom.texture = Texture::Back;
    bottom.v = m_backQuadBottom;

    m_waveColumns.clear();
    m_guidesDrawn = m_guides.visible;
    if (m_guidesDrawn) {
        // Where the cursor line will stand, so that no measure number hides under it.
        std::optional<std::pair<float, float>> cursor;
        if (curMs >= 0) {
            const double C =
                axis.pixelsAfterScroll(double(curMs) - double(scrollMs), m_kep.BeatRate);
            cursor = std::make_pair(float(C + 14.0), float(C + 18.0));
            const int64_t cell = m_kep.MsToBeat(curMs);
            if (m_host.cursorCellLit() && cell >= 0 && cell < m_kep.TotalBeats) {
                const auto left = float(axis.cellStart(cell));
                addQuad(Texture::CursorCell, left, 0.0f, left + float(m_cellWidth), 432.0f, White);
            }
        }
        addGuides(axis, cursor);
    }

    float selLeft = 0, selRight = 0, selTop = 0, selBottom = 0;
    const DragState& drag = m_host.dragState();
    if (drag.MouseMove) {
        selLeft = float(std::min(drag.MouseStartX, drag.MouseMoveX));
        selRight = float(std::max(drag.MouseStartX, drag.MouseMoveX));
        selTop = float(std::min(drag.MouseStartY, drag.MouseMoveY));
        selBottom = float(std::max(drag.MouseStartY, drag.MouseMoveY));
        if (drag.MouseDown)
            addOutline(selLeft, selTop, selRight, selBottom);
    }

    const int64_t lastCell = int64_t(m_kep.upperIndex()) / KeP::RowsPerCell - 1;
    const int64_t lastBeat = std::min<int64_t>(int64_t(firstBeat) + axis.drawnSpan(), lastCell);
    // A range chosen from the keyboard is outlined as a rectangle is, over its key rows;
    // sides far off the canvas are left out.
    const CellRange cells = m_host.selectedCells();
    if (!cells.empty() && cells.last >= firstBeat && cells.first <= lastBeat) {
        const float width = float(m_image.width());
        const auto left = float(std::max(axis.cellStart(cells.first), -2.0));
        const auto right = float(std::min(axis.cellStart(cells.last + 1), double(width) + 2.0));
        addOutline(left, 0.0f, right, 396.0f);
    }
    // The loop: a band along the top over its cells.
    const CellRange loop = m_host.loopCells();
    if (!loop.empty() && loop.last >= firstBeat && loop.first <= lastBeat) {
        const float width = float(m_image.width());
        const auto left = float(std::max(axis.cellStart(loop.first), 0.0));
        const auto right = float(std::min(axis.cellStart(loop.last + 1), double(width)));
        addQuad(Texture::MarkOnTime, left, 0.0f, right, float(LoopBandHeight), White);
    }
    const SelectionList* shown = m_host.shownKeys();
    const auto listed = [shown](int64_t index) {
        return shown && std::binary_search(shown->begin() + (shown->empty() ? 0 : 1), shown->end(),
                                           int32_t(index));
    };
    SelectedKeys = 0;
    const KeyMarks* marks = m_host.judgedKeys();
    const auto markOf = [marks](int64_t index) -> const KeyMark* {
        if (!marks)
            return nullptr;
        const auto it =
            std::lower_bound(marks->begin(), marks->end(), index,
                             [](const KeyMark& m, int64_t i) { return int64_t(m.index) < i; });
        return it != marks->end() && it->index == index ? &*it : nullptr;
    };
    const auto addMark = [this](const KeyMark* mark, float left, float bottom, float width) {
        if (mark)
            addQuad(Texture(int(Texture::MarkOnTime) + int(mark->kind)), left,
                    bottom - float(MarkHeight), left + width, bottom, White);
    };

    const int glyph = axis.glyphWidth();
    const int half = glyph / 2;
    const float markerTop = float(TimeAxis::MarkerTop + (MarkerHeight - axis.markerHeight()) / 2);
    // Cells before the chart's start hold nothing, so a view scrolled before it shows none.
    for (int64_t c = std::max<int64_t>(firstBeat, 0); c <= lastBeat; ++c) {
        const float x = axis.glyphLeft(c);
        const bool inRange = cells.contains(c);
        for (int r = 1; r <= KeP::RowsPerCell; ++r) {
            const int64_t index = KeP::flatIndex(c, r);
            if (m_kep.KeyGrid[size_t(index)] == 0)
                continue;
            const int k = r - 1;
            const auto texture = Texture(int(Texture::Key1) + k);
            if (r == KeP::RowsPerCell) {
                // The confirm marker keeps the depth value it always carried; the painter
                // has no depth, so it shows like every other glyph and is never selected.
                addQuad(texture, x, markerTop, x + float(glyph),
                        markerTop + float(axis.markerHeight()), White, 0.0f);
                addMark(markOf(index), x, markerTop + float(axis.markerHeight()), float(glyph));
                continue;
            }
            const float y = axis.glyphTop(r);
            const float testX = x + float(half);
            const float testY = y + float(half);
            const bool inRectangle = testX > selLeft && testX < selRight && testY > selTop &&
                                     testY < selBottom && m_host.dragState().MouseMove;
            if (inRectangle) {
                if (SelectedKeys + 1 >= int32_t(m_keyS.size()))
                    throw std::out_of_range("more selected keys than the list holds");
                ++SelectedKeys;
                m_keyS[size_t(SelectedKeys)] = int32_t(index);
            }
            const bool selected = inRectangle || inRange || listed(index);
            addQuad(texture, x, y, x + float(glyph), y + float(glyph), selected ? Grey : White);
            addMark(markOf(index), x, y + float(glyph), float(glyph));
        }
    }

    if (curMs >= 0) {
        int32_t sinceScroll = 0;
        if (__builtin_sub_overflow(curMs, scrollMs, &sinceScroll))
            throw std::overflow_error("cursor offset overflows: " + std::to_string(curMs) + " - " +
                                      std::to_string(scrollMs));
        const double C = axis.pixelsAfterScroll(sinceScroll, m_kep.BeatRate);
        addQuad(Texture::Line, float(C + 14.0), 0.0f, float(C + 18.0), 434.0f, White);
        if (GoP && (C > 965.0 || curMs < scrollMs))
            m_host.setTimeSetValue(nearestInt32(double(curMs) / 100.0));
    }
}

void TavixKey::addGuides(const TimeAxis& axis, const std::optional<std::pair<float, float>>& cursor)
{
    addWaveform(axis);
    // A line at the start of every beat that shows, up to the canvas's right edge.
    const int width = m_image.width();
    const int64_t firstBeat = axis.firstBeat;
    int64_t c = std::max<int64_t>(firstBeat, 0);
    c = (c + 3) / 4 * 4;
    for (; c <= firstBeat + axis.drawnSpan() && c < m_kep.TotalBeats; c += 4) {
        const auto x = float(axis.cellStart(c));
        if (x >= float(width))
            break;
        if (c % 16 == 0) {
            addQuad(Texture::MeasureLine, x - 1, 0.0f, x + 1, 396.0f, White);
            addMeasureNumber(x, c / 16 + 1, cursor);
        } else {
            addQuad(Texture::BeatLine, x, 0.0f, x + 1, float(BandHeight), White);
            addQuad(Texture::BeatLine, x, float(LowerBandTop), x + 1,
                    float(LowerBandTop + BandHeight), White);
        }
    }
}

void TavixKey::addMeasureNumber(float lineX, int64_t measure,
                                const std::optional<std::pair<float, float>>& cursor)
{
    const std::string digits = std::to_string(measure);
    const float w = float(m_digitSize.width());
    const float width = w * float(digits.size());
    // Right of its line; left of it while the cursor line stands over the number.
    float x = lineX + 3;
    if (cursor && cursor->first < x + width && cursor->second > x)
        x = lineX - 3 - width;
    for (const char d : digits) {
        addQuad(Texture(int(Texture::Digit0) + (d - '0')), x, float(NumberTop), x + w,
                float(NumberTop + m_digitSize.height()), White);
        x += w;
    }
}

void TavixKey::addWaveform(const TimeAxis& axis)
{
    const double rate = double(m_kep.BeatRate);
    if (!m_guides.peaks || !(rate > 0.0) || !std::isfinite(rate))
        return;
    // Pixel column x covers the chart times from (FirstBeat + (x - 16 + PixOff) / w) / rate
    // on; the song is heard `leadMs` behind the chart.
    const size_t width = size_t(m_image.width());
    const double w = axis.cellWidth;
    const double msPerColumn = 1.0 / (w * rate);
    const double startMs =
        (double(axis.firstBeat) + double(axis.pixOff - 16) / w) / rate - m_guides.leadMs;
    m_peakColumns.resize(width);
    m_guides.peaks->columns(startMs, msPerColumn, m_peakColumns);

    m_waveColumns.resize(width);
    m_waveTops.resize(width);
    m_waveBottoms.resize(width);
    const double middle = BandHeight / 2.0;
    const double scale = WaveHalfHeight / 128.0;
    for (size_t x = 0; x < width; ++x) {
        const PeakRange r = m_peakColumns[x];
        WaveColumn& column = m_waveColumns[x];
        if (r.empty()) {
            column = {};
            continue;
        }
        const auto top = int32_t(std::floor(middle - r.hi * scale));
        auto bottom = int32_t(std::ceil(middle - r.lo * scale));
        bottom = std::max(bottom, top + 1); // silence is a line of its own
        column = {std::clamp(top, 0, BandHeight - 1), std::clamp(bottom, 1, BandHeight)};
    }
    for (size_t x = 0; x < width; ++x) {
        m_waveTops[x] = m_waveColumns[x].top;
        m_waveBottoms[x] = m_waveColumns[x].bottom;
    }
}

const QImage& TavixKey::imageFor(Texture texture, uint32_t color) const
{
    // White and grey are the only vertex colours a frame uses.
    const Picture& p = m_pictures[size_t(texture)];
    return color == White ? p.plain : p.tinted;
}

const QImage* TavixKey::prescaledFor(const Quad& quad) const
{
    const Picture& p = m_pictures[size_t(quad.texture)];
    const ScreenVertex& tl = quad.v[0];
    const ScreenVertex& br = quad.v[3];
    if (!isWhole(tl.x) || !isWhole(tl.y))
        return nullptr;
    const bool white = quad.v[0].color == White;
    for (const QImage* scaled :
         {white ? &p.plainScaled : &p.tintedScaled, white ? &p.plainZoomed : &p.tintedZoomed}) {
        if (!scaled->isNull() && br.x - tl.x == float(scaled->width()) &&
            br.y - tl.y == float(scaled->height()))
            return scaled;
    }
    return nullptr;
}

void TavixKey::paintBandsWithWaveform()
{
    // The two bands are the same picture under the same waveform, so the upper one is
    // made pixel by pixel and the lower one copied from it.
    const QImage& band = m_pictures[size_t(Texture::Back)].plainScaled;
    const int width = m_image.width();
    const size_t rowBytes = size_t(width) * sizeof(QRgb);
    const bool wave = !m_waveColumns.empty();
    const int rows = std::min(BandHeight, m_image.height());
    for (int y = 0; y < rows; ++y) {
        const auto* under = reinterpret_cast<const QRgb*>(band.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(m_image.scanLine(y));
        if (wave)
            composeRow(y, m_waveTops.data(), m_waveBottoms.data(),
                       reinterpret_cast<const QRgb*>(m_waveBand.constScanLine(y)), under, out,
                       width);
        else
            std::memcpy(out, under, rowBytes);
    }
    for (int y = 0; y < rows && LowerBandTop + y < m_image.height(); ++y)
        std::memcpy(m_image.scanLine(LowerBandTop + y), m_image.constScanLine(y), rowBytes);
}

void TavixKey::paintFrame()
{
    // With the guides, the bands with the waveform on them and the lines over it come
    // first, written directly (the painter blends thin translucent strokes slowly); the
    // painter draws the rest. Only what the bands leave uncovered is cleared then.
    size_t first = 0;
    if (!m_guidesDrawn) {
        m_image.fill(qRgb(0, 0, 0));
    } else {
        const auto clearRows = [this](int from, int to) {
            for (int y = from; y < std::min(to, m_image.height()); ++y) {
                auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
                std::fill(line, line + m_image.width(), qRgb(0, 0, 0));
            }
        };
        clearRows(BandHeight, LowerBandTop);
        clearRows(LowerBandTop + BandHeight, m_image.height());
        paintBandsWithWaveform();
        for (const Quad& quad : m_frame)
            if (isGuideLine(quad.texture))
                blendRect(m_image, quad, guideColour(quad.texture));
        first = 2;
    }
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (size_t i = first; i < m_frame.size(); ++i) {
        const Quad& quad = m_frame[i];
        if (isGuideLine(quad.texture))
            continue;
        if (const QImage* scaled = prescaledFor(quad)) {
            painter.drawImage(QPoint(int(quad.v[0].x), int(quad.v[0].y)), *scaled);
            continue;
        }
        const QImage& image = imageFor(quad.texture, quad.v[0].color);
        const QRectF target(QPointF(quad.v[0].x, quad.v[0].y), QPointF(quad.v[3].x, quad.v[3].y));
        if (target.isEmpty())
            continue;
        painter.drawImage(target, image, QRectF(image.rect()));
    }
}

} // namespace tavix
