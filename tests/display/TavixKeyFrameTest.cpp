// The quad list of a frame: layout, selection, cursor and the follow rule.
#include "DisplayTestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using namespace tavix;
using namespace tavix::test;

namespace {

class FrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chartAt100Bpm(kep, 100);
        key.Initialise(surface, kep.TotalBeats);
        ASSERT_TRUE(key.Inited());
    }

    // The glyph quad of one cell and row, or null.
    const Quad* glyphAt(float x, Texture texture) const
    {
        for (const Quad& q : key.lastFrame())
            if (q.texture == texture && q.v[0].x == x)
                return &q;
        return nullptr;
    }

    void drag(int x0, int y0, int x1, int y1, bool down = true)
    {
        host.drag.MouseStartX = x0;
        host.drag.MouseStartY = y0;
        host.drag.MouseMoveX = x1;
        host.drag.MouseMoveY = y1;
        host.drag.MouseMove = true;
        host.drag.MouseDown = down;
    }

    KeP kep;
    FakeHost host;
    ImageSurface surface;
    TavixKey key{kep, host};
};

// --- layout ---------------------------------------------------------------------------

TEST_F(FrameTest, WorkedExampleCellsSitAtMinusTenTwentyTwoAndTenFourteen)
{
    setKey(kep, 13, 1);
    setKey(kep, 14, 1);
    setKey(kep, 45, 1);
    key.Render(20, -1, false);

    const auto g = glyphs(key);
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(rectOf(g[0]), QRectF(-10, 0, 62, 62));
    EXPECT_EQ(rectOf(g[1]), QRectF(22, 0, 62, 62));
    EXPECT_EQ(rectOf(g[2]), QRectF(1014, 0, 62, 62));
    for (const Quad& q : g) {
        EXPECT_EQ(q.texture, Texture::Key1);
        EXPECT_EQ(q.v[0].color, White);
    }
}

TEST_F(FrameTest, QuadsAreStripsWithTheWholeTextureStretchedOverThem)
{
    setKey(kep, 14, 2);
    key.Render(20, -1, false);
    const Quad* q = glyphAt(22, Texture::Key2);
    ASSERT_NE(q, nullptr);
    // top-left, top-right, bottom-left, bottom-right
    EXPECT_EQ(q->v[0].x, 22.f);
    EXPECT_EQ(q->v[0].y, 64.f);
    EXPECT_EQ(q->v[1].x, 84.f);
    EXPECT_EQ(q->v[1].y, 64.f);
    EXPECT_EQ(q->v[2].x, 22.f);
    EXPECT_EQ(q->v[2].y, 126.f);
    EXPECT_EQ(q->v[3].x, 84.f);
    EXPECT_EQ(q->v[3].y, 126.f);
    const float tu[] = {0, 1, 0, 1};
    const float tv[] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(q->v[i].tu, tu[i]);
        EXPECT_EQ(q->v[i].tv, tv[i]);
        EXPECT_EQ(q->v[i].z, 0.f);
        EXPECT_EQ(q->v[i].rhw, 1.f);
        EXPECT_EQ(q->v[i].specular, 0u);
    }
}

TEST_F(FrameTest, SevenRowsStackWithTheGapBetweenTheBandsAndTheMarkerUnderThem)
{
    for (int r = 1; r <= 7; ++r)
        setKey(kep, 14, r);
    key.Render(20, -1, false);

    const auto g = glyphs(key);
    ASSERT_EQ(g.size(), 7u);
    const float tops[] = {0, 64, 128, 206, 270, 334, 396};
    for (int r = 1; r <= 7; ++r) {
        const Quad& q = g[size_t(r - 1)];
        EXPECT_EQ(q.texture, Texture(int(Texture::Key1) + r - 1)) << "row " << r;
        const float height = r == 7 ? 36.f : 62.f;
        EXPECT_EQ(rectOf(q), QRectF(22, tops[r - 1], 62, height)) << "row " << r;
    }
    // The confirm marker keeps its zero reciprocal depth; every other quad carries 1.
    for (const ScreenVertex& v : g[6].v)
        EXPECT_EQ(v.rhw, 0.f);
}

TEST_F(FrameTest, BandsComeFirstAndSpanTheCanvasWidth)
{
    key.Render(20, -1, false);
    const auto& f = key.lastFrame();
    ASSERT_EQ(f.size(), 2u); // no keys, no cursor: the two bands alone
    EXPECT_EQ(f[0].texture, Texture::Back);
    EXPECT_EQ(f[1].texture, Texture::Back);
    EXPECT_EQ(rectOf(f[0]), QRectF(0, 0, 974, 189));
    EXPECT_EQ(rectOf(f[1]), QRectF(0, 207, 974, 189));
}

TEST_F(FrameTest, ThirtyThreeCellsAreDrawnFromTheFirstVisibleOne)
{
    for (int c = 12; c <= 46; ++c)
        setKey(kep, c, 3);
    key.Render(20, -1, false); // FirstBeat 13
    const auto g = glyphs(key);
    ASSERT_EQ(g.size(), 33u);
    EXPECT_EQ(g.front().v[0].x, -10.f);
    EXPECT_EQ(g.back().v[0].x, 1014.f);
    // later cells come later, so they are painted over their left neighbours
    for (size_t i = 1; i < g.size(); ++i)
        EXPECT_EQ(g[i].v[0].x - g[i - 1].v[0].x, 32.f);
}

TEST_F(FrameTest, TheLastCellOfTheChartEndsTheView)
{
    KeP small;
    chartAt100Bpm(small, 20);
    TavixKey k(small, host);
    ImageSurface s;
    k.Initialise(s, small.TotalBeats);
    for (int c = 0; c < 20; ++c)
        setKey(small, c, 1);
    k.Render(20, -1, false); // cells 13..19
    const auto g = glyphs(k);
    ASSERT_EQ(g.size(), 7u);
    EXPECT_EQ(g.back().v[0].x, 32.f * 6 - 10);
}

TEST_F(FrameTest, ScrolledPastTheEndDrawsNoGlyphAndSelectsNothing)
{
    KeP small;
    chartAt100Bpm(small, 10);
    for (int c = 0; c < 10; ++c)
        for (int r = 1; r <= 7; ++r)
            setKey(small, c, r);
    TavixKey k(small, host);
    ImageSurface s;
    k.Initialise(s, small.TotalBeats);
    drag(0, 0, 974, 435);
    k.Render(20, 2300, false);
    EXPECT_TRUE(glyphs(k).empty());
    EXPECT_EQ(k.SelectedKeys, 0);
    EXPECT_EQ(lines(k).size(), 5u); // the outline and the cursor still show
}

TEST_F(FrameTest, AForeignByteDrawsItsGlyphLikeOne)
{
    setKey(kep, 14, 5, 2);
    setKey(kep, 15, 5, 255);
    key.Render(20, -1, false);
    EXPECT_NE(glyphAt(22, Texture::Key5), nullptr);
    EXPECT_NE(glyphAt(54, Texture::Key5), nullptr);
}

TEST_F(FrameTest, AViewBeforeTheChartStartShowsOnlyTheCellsThatExist)
{
    setKey(kep, 0, 1);
    key.Render(-10, -1, false); // ScrollMs -1000: FirstBeat -6, PixOff -21
    const auto g = glyphs(key);
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0].v[0].x, 32.f * 6 + 21);
}

TEST_F(FrameTest, NoGridDrawsOnlyTheBands)
{
    KeP empty;
    empty.setTempo(100.0);
    TavixKey k(empty, host);
    ImageSurface s;
    k.Initialise(s, 0);
    k.Render(0, -1, false);
    EXPECT_EQ(k.lastFrame().size(), 2u);
    EXPECT_EQ(s.presented, 1);
}

// --- cursor and follow ------------------------------------------------------------------

TEST_F(FrameTest, CursorOfTheWorkedExampleCoversSeventyEightToEightyTwo)
{
    key.Render(20, 2300, false);
    const auto l = lines(key);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(key.lastFrame().back().texture, Texture::Line);
    const QRectF r = rectOf(l[0]);
    EXPECT_NEAR(r.left(), 78.0, 1e-3);
    EXPECT_NEAR(r.right(), 82.0, 1e-3);
    EXPECT_EQ(r.top(), 0.0);
    EXPECT_EQ(r.bottom(), 434.0);
    EXPECT_EQ(l[0].v[0].color, White);
    EXPECT_TRUE(host.timeSetValues.empty());
}

TEST_F(FrameTest, NegativeCursorDrawsNoLineAndNeverFollows)
{
    key.Render(20, -1, true);
    EXPECT_TRUE(lines(key).empty());
    EXPECT_TRUE(host.timeSetValues.empty());
}

TEST_F(FrameTest, CursorJustPastTheThresholdScrollsToTheNearestStep)
{
    key.Render(78, 12350, true); // C = 4550 ms of cells = 970.7 pixels
    ASSERT_EQ(host.timeSetValues.size(), 1u);
    EXPECT_EQ(host.timeSetValues[0], 124); // 123.5 goes to the even neighbour

    host.timeSetValues.clear();
    key.Render(77, 12250, true);
    ASSERT_EQ(host.timeSetValues.size(), 1u);
    EXPECT_EQ(host.timeSetValues[0], 122);
}

TEST_F(FrameTest, CursorStillInsideTheViewDoesNotScroll)
{
    key.Render(79, 12350, true); // C = 949.3
    EXPECT_TRUE(host.timeSetValues.empty());
}

TEST_F(FrameTest, CursorExactlyOnTheThresholdDoesNotScroll)
{
    kep.BeatRate = 1.0f / 32.0f; // one pixel per millisecond: C is exact
    key.Render(0, 965, true);
    EXPECT_TRUE(host.timeSetValues.empty());
    key.Render(0, 966, true);
    ASSERT_EQ(host.timeSetValues.size(), 1u);
    EXPECT_EQ(host.timeSetValues[0], 10);
}

TEST_F(FrameTest, CursorBeforeTheViewJumpsBack)
{
    key.Render(20, 1500, true);
    ASSERT_EQ(host.timeSetValues.size(), 1u);
    EXPECT_EQ(host.timeSetValues[0], 15);
}

TEST_F(FrameTest, WithoutFollowTheTimeBarIsNeverTouched)
{
    key.Render(0, 100000, false);
    key.Render(50, 10, false);
    EXPECT_TRUE(host.timeSetValues.empty());
}

TEST_F(FrameTest, NestedRenderFromTheTimeBarReturnsAtOnce)
{
    setKey(kep, 53, 1); // at ScrollMs 7800 cell 53 is drawn at x = 32, centre (63, 31)
    drag(50, 20, 70, 40);
    int nestedCalls = 0;
    host.onTimeSet = [&](int32_t value) {
        ++nestedCalls;
        host.drag.MouseMove = false; // what the editor's scroll handler does
        key.Render(value, -1, false);
    };
    key.Render(78, 12350, true);
    EXPECT_EQ(nestedCalls, 1);
    EXPECT_EQ(surface.presented, 1);
    EXPECT_EQ(key.SelectedKeys, 1);
    // the frame is the outer one, cursor and all
    EXPECT_EQ(key.lastFrame().back().texture, Texture::Line);

    host.onTimeSet = nullptr;
    key.Render(0, -1, false); // the guard was released
    EXPECT_EQ(surface.presented, 2);
    EXPECT_EQ(key.SelectedKeys, 0);
}

TEST_F(FrameTest, OverflowingScrollPositionThrowsAndReleasesTheFrame)
{
    EXPECT_THROW(key.Render(std::numeric_limits<int32_t>::max() / 50, -1, false),
                 std::runtime_error);
    EXPECT_EQ(surface.presented, 0);
    key.Render(0, -1, false);
    EXPECT_EQ(surface.presented, 1);
}

TEST_F(FrameTest, OverflowingCursorOffsetThrows)
{
    EXPECT_THROW(key.Render(-21474836, std::numeric_limits<int32_t>::max(), false),
                 std::overflow_error);
    EXPECT_EQ(surface.presented, 0);
}

TEST_F(FrameTest, ErrorFromTheTimeBarReachesTheCallerAndReleasesTheFrame)
{
    host.onTimeSet = [](int32_t) { throw std::runtime_error("time bar"); };
    EXPECT_THROW(key.Render(20, 1500, true), std::runtime_error);
    host.onTimeSet = nullptr;
    key.Render(20, -1, false);
    EXPECT_EQ(surface.presented, 1);
}

// --- selection --------------------------------------------------------------------------

TEST_F(FrameTest, DragRectangleSelectsTheKeysWhoseCentreIsInside)
{
    setKey(kep, 14, 1);   // centre (53, 31)
    setKey(kep, 15, 1);   // centre (85, 31)
    drag(60, 40, 40, 20); // drawn from bottom-right to top-left
    key.Render(20, -1, false);

    EXPECT_EQ(key.SelectedKeys, 1);
    EXPECT_EQ(key.GetKeyS(1), 7 * 14 + 1);
    EXPECT_EQ(glyphAt(22, Texture::Key1)->v[0].color, Grey);
    EXPECT_EQ(glyphAt(54, Texture::Key1)->v[0].color, White);
    for (const ScreenVertex& v : glyphAt(22, Texture::Key1)->v)
        EXPECT_EQ(v.color, Grey);
}

TEST_F(FrameTest, OutlineIsFourOnePixelSidesWhileTheButtonIsDown)
{
    setKey(kep, 14, 1);
    drag(40, 20, 60, 50);
    key.Render(20, -1, false);
    const auto l = lines(key);
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(rectOf(l[0]), QRectF(QPointF(40, 20), QPointF(41, 50)));
    EXPECT_EQ(rectOf(l[1]), QRectF(QPointF(59, 20), QPointF(60, 50)));
    EXPECT_EQ(rectOf(l[2]), QRectF(QPointF(40, 20), QPointF(60, 21)));
    EXPECT_EQ(rectOf(l[3]), QRectF(QPointF(40, 49), QPointF(60, 50)));
    // drawn over the bands, under the glyphs
    ASSERT_EQ(key.lastFrame().size(), 7u);
    EXPECT_EQ(key.lastFrame()[2].texture, Texture::Line);
    EXPECT_EQ(key.lastFrame()[5].texture, Texture::Line);
    EXPECT_EQ(key.lastFrame()[6].texture, Texture::Key1);
}

TEST_F(FrameTest, FrozenSelectionKeepsCountingWithoutAnOutline)
{
    setKey(kep, 14, 1);
    drag(40, 20, 60, 40, /*down=*/false);
    key.Render(20, -1, false);
    EXPECT_TRUE(lines(key).empty());
    EXPECT_EQ(key.SelectedKeys, 1);
}

TEST_F(FrameTest, ButtonHeldWithoutMovingSelectsNothing)
{
    setKey(kep, 14, 1);
    host.drag = DragState{40, 20, 60, 40, /*MouseDown=*/true, /*MouseMove=*/false};
    key.Render(20, -1, false);
    EXPECT_TRUE(lines(key).empty());
    EXPECT_EQ(key.SelectedKeys, 0);
    EXPECT_EQ(glyphAt(22, Texture::Key1)->v[0].color, White);
}

TEST_F(FrameTest, ZeroSizeRectangleSelectsNothing)
{
    setKey(kep, 14, 1);
    drag(53, 0, 53, 400); // zero width through the centre
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 0);
    drag(0, 31, 900, 31); // zero height through the centre
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 0);
}

TEST_F(FrameTest, CentreExactlyOnAnEdgeIsNotSelected)
{
    setKey(kep, 14, 1); // centre (53, 31)
    const int rects[][4] = {{53, 0, 100, 100}, {0, 0, 53, 100}, {0, 31, 100, 100}, {0, 0, 100, 31}};
    for (const auto& r : rects) {
        drag(r[0], r[1], r[2], r[3]);
        key.Render(20, -1, false);
        EXPECT_EQ(key.SelectedKeys, 0) << r[0] << "," << r[1] << " " << r[2] << "," << r[3];
    }
    drag(52, 30, 54, 32); // one pixel further out on every side
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 1);
}

TEST_F(FrameTest, LowerRowsAreTestedAtTheirShiftedCentre)
{
    setKey(kep, 14, 4); // centre (53, 192 + 14 + 31)
    drag(50, 236, 56, 238);
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 1);
    EXPECT_EQ(key.GetKeyS(1), 7 * 14 + 4);
    drag(50, 222, 56, 224); // where the centre would be without the gap
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 0);
}

TEST_F(FrameTest, ConfirmMarkerInsideTheRectangleStaysWhiteAndUncounted)
{
    setKey(kep, 14, 7);
    setKey(kep, 14, 6);
    drag(0, 0, 974, 435);
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 1);
    EXPECT_EQ(key.GetKeyS(1), 7 * 14 + 6);
    EXPECT_EQ(glyphAt(22, Texture::Key7)->v[0].color, White);
    EXPECT_EQ(glyphAt(22, Texture::Key6)->v[0].color, Grey);
}

TEST_F(FrameTest, SelectionListsCellsInOrderThenRows)
{
    setKey(kep, 15, 2);
    setKey(kep, 14, 5);
    setKey(kep, 14, 1);
    setKey(kep, 16, 3);
    drag(0, 0, 974, 435);
    key.Render(20, -1, false);
    ASSERT_EQ(key.SelectedKeys, 4);
    EXPECT_EQ(key.GetKeyS(1), 7 * 14 + 1);
    EXPECT_EQ(key.GetKeyS(2), 7 * 14 + 5);
    EXPECT_EQ(key.GetKeyS(3), 7 * 15 + 2);
    EXPECT_EQ(key.GetKeyS(4), 7 * 16 + 3);
}

TEST_F(FrameTest, FullViewSelectsAtMostOneHundredNinetyEightKeys)
{
    for (int c = 0; c < 100; ++c)
        for (int r = 1; r <= 7; ++r)
            setKey(kep, c, r);
    drag(-100, -100, 2000, 2000);
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 33 * 6);
    EXPECT_EQ(glyphs(key).size(), 33u * 7);
}

TEST_F(FrameTest, KeysBeyondSixteenBitIndicesAreStoredWhole)
{
    KeP big;
    chartAt100Bpm(big, 6000);
    TavixKey k(big, host);
    ImageSurface s;
    k.Initialise(s, big.TotalBeats);
    const int32_t ms = 7050; // ScrollMs 705000: FirstBeat 4700
    ASSERT_EQ(big.MsToBeat(int64_t(ms) * 100), 4700);
    setKey(big, 4701, 2);
    drag(0, 0, 974, 435);
    k.Render(ms, -1, false);
    ASSERT_EQ(k.SelectedKeys, 1);
    EXPECT_EQ(k.GetKeyS(1), 7 * 4701 + 2);
    EXPECT_GT(k.GetKeyS(1), 32767);
}

TEST_F(FrameTest, KeyScrolledOutOfViewDropsOutOfTheSelection)
{
    setKey(kep, 14, 1);
    drag(0, 0, 974, 435, false);
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 1);
    key.Render(40, -1, false); // FirstBeat 26
    EXPECT_EQ(key.SelectedKeys, 0);
}

TEST_F(FrameTest, SelectionIsReadFreshForEveryFrame)
{
    setKey(kep, 14, 1);
    drag(40, 20, 60, 40);
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 1);
    host.drag.MouseMove = false;
    key.Render(20, -1, false);
    EXPECT_EQ(key.SelectedKeys, 0);
    EXPECT_EQ(glyphAt(22, Texture::Key1)->v[0].color, White);
}

// --- reuse -----------------------------------------------------------------------------

TEST(FrameReuse, FramesReuseTheQuadListAndTheImage)
{
    KeP kep;
    chartAt100Bpm(kep, 100);
    for (int c = 0; c < 100; ++c)
        for (int r = 1; r <= 7; ++r)
            setKey(kep, c, r);
    FakeHost host;
    ImageSurface surface(QSize(974, 435), /*keepFrames=*/false);
    TavixKey key(kep, host);
    key.Initialise(surface, kep.TotalBeats);
    key.Render(20, 2300, false);
    const Quad* quads = key.lastFrame().data();
    const uchar* pixels = key.lastImage().constBits();
    for (int ms = 0; ms < 50; ++ms)
        key.Render(ms, 2300, false);
    EXPECT_EQ(key.lastFrame().data(), quads);
    EXPECT_EQ(key.lastImage().constBits(), pixels);
    EXPECT_EQ(surface.presented, 51);
}

} // namespace
