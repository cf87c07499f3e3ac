#include "TavixKey.h"

#include "ChartEdit.h"
#include "KeP.h"
#include "ResourceInit.h"
#include "Rounding.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
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

constexpr int BandHeight = 189;

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

} // namespace Internal

using namespace Internal;

TavixKey::TavixKey(KeP& kep, KeyDisplayHost& host) : m_kep(kep), m_host(host)
{
    // At most 2 bands, 4 outline sides, 33 cells of 7 rows and the cursor.
    m_frame.reserve(2 + 4 + 33 * 7 + 1);
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
        // The window passes TotalBeats, so this changes nothing there; what another count
        // would change is made through the chart's editing interface and not kept.
        ChartEdit edit(m_kep);
        if (!edit.resizeCells(TotalB))
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
    for (size_t i = 0; i < TextureCount; ++i) {
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

void TavixKey::buildFrame(int32_t scrollMs, int32_t curMs, bool GoP)
{
    const int32_t firstBeat = m_kep.MsToBeat(scrollMs);
    const int32_t pixOff = truncInt32(double(m_kep.MsToBeatFrac(scrollMs)) * 64.0 / 2.0);

    m_frame.clear();
    Quad& top = m_frame.emplace_back();
    top.texture = Texture::Back;
    top.v = m_backQuadTop;
    Quad& bottom = m_frame.emplace_back();
    bottom.texture = Texture::Back;
    bottom.v = m_backQuadBottom;

    float selLeft = 0, selRight = 0, selTop = 0, selBottom = 0;
    const DragState& drag = m_host.dragState();
    if (drag.MouseMove) {
        selLeft = float(std::min(drag.MouseStartX, drag.MouseMoveX));
        selRight = float(std::max(drag.MouseStartX, drag.MouseMoveX));
        selTop = float(std::min(drag.MouseStartY, drag.MouseMoveY));
        selBottom = float(std::max(drag.MouseStartY, drag.MouseMoveY));
        if (drag.MouseDown) {
            addQuad(Texture::Line, selLeft, selTop, selLeft + 1, selBottom, White);
            addQuad(Texture::Line, selRight - 1, selTop, selRight, selBottom, White);
            addQuad(Texture::Line, selLeft, selTop, selRight, selTop + 1, White);
            addQuad(Texture::Line, selLeft, selBottom - 1, selRight, selBottom, White);
        }
    }

    const int64_t lastCell = int64_t(m_kep.upperIndex()) / KeP::RowsPerCell - 1;
    const int64_t lastBeat = std::min<int64_t>(int64_t(firstBeat) + 32, lastCell);
    SelectedKeys = 0;

    // Cells before the chart's start hold nothing, so a view scrolled before it shows none.
    for (int64_t c = std::max<int64_t>(firstBeat, 0); c <= lastBeat; ++c) {
        const float x = float(32 * (c - firstBeat) - pixOff);
        for (int r = 1; r <= KeP::RowsPerCell; ++r) {
            if (m_kep.KeyGrid[size_t(KeP::flatIndex(c, r))] == 0)
                continue;
            const int k = r - 1;
            const auto texture = Texture(int(Texture::Key1) + k);
            if (r == KeP::RowsPerCell) {
                // The confirm marker keeps the depth value it always carried; the painter
                // has no depth, so it shows like every other glyph and is never selected.
                addQuad(texture, x, 396.0f, x + GlyphSize, 396.0f + MarkerHeight, White, 0.0f);
                continue;
            }
            const float y = float(64 * k) + (r <= 3 ? 0.0f : 14.0f);
            const float testX = x + 31.0f;
            const float testY = y + 31.0f;
            const bool selected = testX > selLeft && testX < selRight && testY > selTop &&
                                  testY < selBottom && m_host.dragState().MouseMove;
            if (selected) {
                if (SelectedKeys + 1 >= int32_t(m_keyS.size()))
                    throw std::out_of_range("more selected keys than the list holds");
                ++SelectedKeys;
                m_keyS[size_t(SelectedKeys)] = int32_t(KeP::flatIndex(c, r));
            }
            addQuad(texture, x, y, x + GlyphSize, y + GlyphSize, selected ? Grey : White);
        }
    }

    if (curMs >= 0) {
        int32_t sinceScroll = 0;
        if (__builtin_sub_overflow(curMs, scrollMs, &sinceScroll))
            throw std::overflow_error("cursor offset overflows: " + std::to_string(curMs) + " - " +
                                      std::to_string(scrollMs));
        const double C = double(m_kep.BeatRate) * double(sinceScroll) * 64.0 / 2.0;
        addQuad(Texture::Line, float(C + 14.0), 0.0f, float(C + 18.0), 434.0f, White);
        if (GoP && (C > 965.0 || curMs < scrollMs))
            m_host.setTimeSetValue(nearestInt32(double(curMs) / 100.0));
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
    const QImage& scaled = quad.v[0].color == White ? p.plainScaled : p.tintedScaled;
    if (scaled.isNull())
        return nullptr;
    const ScreenVertex& tl = quad.v[0];
    const ScreenVertex& br = quad.v[3];
    if (!isWhole(tl.x) || !isWhole(tl.y) || br.x - tl.x != float(scaled.width()) ||
        br.y - tl.y != float(scaled.height()))
        return nullptr;
    return &scaled;
}

void TavixKey::paintFrame()
{
    m_image.fill(qRgb(0, 0, 0));
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const Quad& quad : m_frame) {
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
