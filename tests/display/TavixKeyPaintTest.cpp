// The painted frame, checked by pixel against the pictures it is made of.
#include "DisplayTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace tavix;
using namespace tavix::test;

namespace {

struct Rgb
{
    int r, g, b;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

const Rgb DarkRed{128, 0, 0};
const Rgb Black{0, 0, 0};
const Rgb Violet{128, 128, 255};

Rgb at(const QImage& image, int x, int y)
{
    const QRgb p = reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
    EXPECT_EQ(qAlpha(p), 255) << "frame pixel " << x << "," << y << " is not opaque";
    return {qRed(p), qGreen(p), qBlue(p)};
}

// A texel of a picture, pre-multiplied.
QRgb texel(const QImage& picture, int x, int y)
{
    return reinterpret_cast<const QRgb*>(picture.constScanLine(y))[x];
}

QRgb dimmedTexel(QRgb p)
{
    const auto dim = [](int c) { return (c * 150 + 127) / 255; };
    return qRgba(dim(qRed(p)), dim(qGreen(p)), dim(qBlue(p)), qAlpha(p));
}

// Source-over of a pre-multiplied texel onto an opaque colour.
Rgb over(QRgb src, Rgb dst)
{
    const int inv = 255 - qAlpha(src);
    return {qRed(src) + dst.r * inv / 255, qGreen(src) + dst.g * inv / 255,
            qBlue(src) + dst.b * inv / 255};
}

::testing::AssertionResult near(const Rgb& actual, const Rgb& expected, int tolerance = 2)
{
    if (std::abs(actual.r - expected.r) <= tolerance &&
        std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " is not " << expected;
}

bool same(const Rgb& a, const Rgb& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

QImage picture(const char* path)
{
    return QImage(QString::fromLatin1(path)).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The texel a canvas pixel shows of a w x h picture stretched over a quad at (qx, qy) of
// size qw x qh: the one under the pixel's centre.
QRgb sampled(const QImage& pic, int qx, int qy, int qw, int qh, int px, int py)
{
    const int tx = int((px - qx + 0.5) * pic.width() / qw);
    const int ty = int((py - qy + 0.5) * pic.height() / qh);
    return texel(pic, tx, ty);
}

class PaintTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chartAt100Bpm(kep, 100);
        key.Initialise(surface, kep.TotalBeats);
        a1 = picture(":/DDS/A1");
        a2 = picture(":/DDS/A2");
        a7 = picture(":/DDS/A7");
        ASSERT_EQ(a1.size(), QSize(64, 64));
        ASSERT_EQ(a7.size(), QSize(64, 32));
    }

    const QImage& frame() const { return key.lastImage(); }

    KeP kep;
    FakeHost host;
    ImageSurface surface;
    TavixKey key{kep, host};
    QImage a1, a2, a7;
};

TEST_F(PaintTest, BandsAreDarkRedWithBlackLaneBarsAndABlackStripBetween)
{
    key.Render(20, -1, false);
    ASSERT_EQ(frame().size(), QSize(974, 435));
    const auto expected = [](int y) {
        if (y < 189)
            return (y >= 61 && y <= 63) || (y >= 125 && y <= 127) ? Black : DarkRed;
        if (y < 207 || y >= 396)
            return Black;
        const int lane = y - 207;
        return (lane >= 61 && lane <= 63) || (lane >= 125 && lane <= 127) ? Black : DarkRed;
    };
    for (int x : {0, 1, 487, 972, 973})
        for (int y = 0; y < 435; ++y)
            ASSERT_TRUE(same(at(frame(), x, y), expected(y)))
                << x << "," << y << " " << at(frame(), x, y);
}

TEST_F(PaintTest, PresentedFrameIsThePaintedImage)
{
    setKey(kep, 14, 1);
    key.Render(20, 2300, false);
    ASSERT_EQ(surface.presented, 1);
    EXPECT_EQ(surface.last, frame());
}

TEST_F(PaintTest, CursorLineIsVioletBlueAndFourPixelsWide)
{
    key.Render(20, 2300, false);
    for (int y : {0, 100, 195, 300, 433}) {
        for (int x = 78; x <= 81; ++x)
            EXPECT_TRUE(same(at(frame(), x, y), Violet)) << x << "," << y;
        EXPECT_FALSE(same(at(frame(), 77, y), Violet)) << y;
        EXPECT_FALSE(same(at(frame(), 82, y), Violet)) << y;
    }
    EXPECT_TRUE(same(at(frame(), 80, 434), Black)); // the line ends above the last row
}

TEST_F(PaintTest, GlyphIsItsPictureOverTheBand)
{
    setKey(kep, 14, 1); // quad 22..84 x 0..62
    key.Render(20, -1, false);
    int bright = 0;
    for (int y = 0; y < 62; y += 3)
        for (int x = 22; x < 84; x += 3) {
            const Rgb band = (y >= 61) ? Black : DarkRed;
            ASSERT_TRUE(near(at(frame(), x, y), over(sampled(a1, 22, 0, 62, 62, x, y), band)))
                << x << "," << y;
            const Rgb c = at(frame(), x, y);
            bright += c.g > 200 && c.g > c.b;
        }
    EXPECT_GT(bright, 20); // a green arrow, not an empty picture
    // the arrow's core is at the quad's centre
    const Rgb centre = at(frame(), 53, 31);
    EXPECT_GT(centre.g, 200);
}

TEST_F(PaintTest, CyanAndMarkerGlyphsKeepTheirColours)
{
    setKey(kep, 14, 2); // cyan arrow, 22..84 x 64..126
    setKey(kep, 14, 7); // blue star, 22..84 x 396..432 on black
    key.Render(20, -1, false);
    for (int y = 64; y < 126; y += 4)
        for (int x = 22; x < 84; x += 4) {
            const Rgb band = (y == 125) ? Black : DarkRed;
            ASSERT_TRUE(near(at(frame(), x, y), over(sampled(a2, 22, 64, 62, 62, x, y), band)));
        }
    for (int y = 396; y < 432; ++y)
        for (int x = 22; x < 84; x += 2)
            ASSERT_TRUE(near(at(frame(), x, y), over(sampled(a7, 22, 396, 62, 36, x, y), Black)))
                << x << "," << y;
    const Rgb star = at(frame(), 53, 414);
    EXPECT_GT(star.b, 200);
    EXPECT_GT(star.b, star.r);
    const Rgb arrow = at(frame(), 53, 95);
    EXPECT_GT(arrow.g, 200);
    EXPECT_GT(arrow.b, 200);
}

TEST_F(PaintTest, SelectedGlyphIsDimmedToGrey)
{
    setKey(kep, 14, 1);
    host.drag = DragState{40, 20, 60, 40, false, true};
    key.Render(20, -1, false);
    ASSERT_EQ(key.SelectedKeys, 1);
    int opaque = 0;
    for (int y = 0; y < 61; y += 2)
        for (int x = 22; x < 84; x += 2) {
            const QRgb t = sampled(a1, 22, 0, 62, 62, x, y);
            ASSERT_TRUE(near(at(frame(), x, y), over(dimmedTexel(t), DarkRed))) << x << "," << y;
            if (qAlpha(t) == 255) {
                ++opaque;
                EXPECT_TRUE(near(at(frame(), x, y), Rgb{qRed(t) * 150 / 255, qGreen(t) * 150 / 255,
                                                        qBlue(t) * 150 / 255}));
            }
        }
    EXPECT_GT(opaque, 10);
}

TEST_F(PaintTest, LaterCellIsPaintedOverItsLeftNeighbour)
{
    setKey(kep, 13, 1); // -10..52
    setKey(kep, 14, 1); // 22..84
    key.Render(20, -1, false);
    for (int x = 22; x < 52; x += 2)
        for (int y = 0; y < 61; y += 5) {
            const Rgb under = over(sampled(a1, -10, 0, 62, 62, x, y), DarkRed);
            ASSERT_TRUE(near(at(frame(), x, y), over(sampled(a1, 22, 0, 62, 62, x, y), under), 3))
                << x << "," << y;
        }
}

TEST_F(PaintTest, GlyphsHalfOutsideAreClippedNotSkipped)
{
    setKey(kep, 13, 1); // starts 10 pixels left of the canvas
    key.Render(20, -1, false);
    for (int y = 0; y < 61; y += 3)
        for (int x = 0; x < 52; x += 3)
            ASSERT_TRUE(near(at(frame(), x, y), over(sampled(a1, -10, 0, 62, 62, x, y), DarkRed)));

    const QImage withoutRightmost = frame().copy();
    setKey(kep, 45, 1); // x = 1014, wholly beyond the right edge
    key.Render(20, -1, false);
    EXPECT_EQ(key.lastFrame().size(), 4u);
    EXPECT_EQ(frame(), withoutRightmost);
}

TEST_F(PaintTest, OutlineIsDrawnInTheLineColourAndLeavesTheInsideAlone)
{
    host.drag = DragState{100, 20, 300, 150, true, true};
    key.Render(20, -1, false);
    for (int y = 20; y < 150; y += 7) {
        if ((y >= 61 && y <= 63) || (y >= 125 && y <= 127))
            continue;
        EXPECT_TRUE(same(at(frame(), 100, y), Violet)) << y;
        EXPECT_TRUE(same(at(frame(), 299, y), Violet)) << y;
        EXPECT_TRUE(same(at(frame(), 200, y), y == 20 ? Violet : DarkRed)) << y;
    }
    for (int x = 100; x < 300; x += 9) {
        EXPECT_TRUE(same(at(frame(), x, 20), Violet)) << x;
        EXPECT_TRUE(same(at(frame(), x, 149), Violet)) << x;
        EXPECT_TRUE(same(at(frame(), x, 150), DarkRed)) << x;
        EXPECT_TRUE(same(at(frame(), x, 19), DarkRed)) << x;
    }
    EXPECT_TRUE(same(at(frame(), 99, 80), DarkRed));
    EXPECT_TRUE(same(at(frame(), 300, 80), DarkRed));
}

TEST_F(PaintTest, CursorIsPaintedOverTheGlyphs)
{
    setKey(kep, 15, 1); // 54..116 covers the cursor at 78..82
    key.Render(20, 2300, false);
    EXPECT_TRUE(same(at(frame(), 79, 31), Violet));
    EXPECT_FALSE(same(at(frame(), 77, 31), DarkRed)); // the glyph is there beside it
}

TEST_F(PaintTest, EachFrameStartsFromBlack)
{
    setKey(kep, 14, 1);
    key.Render(20, 2300, false);
    const Rgb withKey = at(frame(), 53, 31);
    setKey(kep, 14, 1, 0);
    key.Render(20, -1, false);
    EXPECT_FALSE(same(withKey, DarkRed));
    EXPECT_TRUE(same(at(frame(), 53, 31), DarkRed));
    EXPECT_TRUE(same(at(frame(), 79, 31), DarkRed));
}

TEST(PaintSurface, BandsFollowTheSurfaceWidthOfTheFirstSetUp)
{
    KeP kep;
    chartAt100Bpm(kep, 10);
    FakeHost host;
    ImageSurface narrow(QSize(400, 435));
    TavixKey key(kep, host);
    key.Initialise(narrow, kep.TotalBeats);
    key.Render(0, -1, false);
    ASSERT_EQ(key.lastImage().size(), QSize(400, 435));
    EXPECT_EQ(key.backQuadTop()[1].x, 400.f);
    for (int x : {0, 200, 399})
        EXPECT_TRUE(same(at(key.lastImage(), x, 10), DarkRed));
}

} // namespace
