// Set-up of the key display: grid resizing, the one-time set-up and the accessors.
#include "DisplayTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tavix;
using namespace tavix::test;

namespace {

TEST(Setup, FirstInitialiseSizesTheGridAndSetsUp)
{
    KeP kep;
    kep.setTempo(100.0);
    FakeHost host;
    host.chart = &kep;
    ImageSurface surface;
    TavixKey key(kep, host);
    EXPECT_FALSE(key.SetupDone());
    EXPECT_FALSE(key.Inited());

    key.Initialise(surface, 50);
    EXPECT_TRUE(key.SetupDone());
    EXPECT_TRUE(key.Inited());
    EXPECT_EQ(kep.KeyGrid.size(), 351u);
    EXPECT_EQ(kep.TotalBeats, 50);
    EXPECT_EQ(key.lastImage().size(), QSize(974, 435));
}

TEST(Setup, LaterCallsResizeTheGridButKeepTheFirstSetUp)
{
    KeP kep;
    chartAt100Bpm(kep, 50);
    setKey(kep, 49, 3);
    setKey(kep, 10, 7);
    FakeHost host;
    host.chart = &kep;
    ImageSurface first;
    ImageSurface second(QSize(500, 300));
    TavixKey key(kep, host);
    key.Initialise(first, kep.TotalBeats);

    key.Initialise(second, 80);
    EXPECT_EQ(kep.KeyGrid.size(), 561u);
    EXPECT_EQ(kep.TotalBeats, 80);
    EXPECT_EQ(kep.at(49, 3), 1);
    EXPECT_EQ(kep.at(10, 7), 1);
    EXPECT_EQ(kep.at(79, 1), 0);
    // still bound to the first canvas, at its width
    EXPECT_EQ(key.backQuadTop()[1].x, 974.f);
    key.Render(0, -1, false);
    EXPECT_EQ(first.presented, 1);
    EXPECT_EQ(second.presented, 0);
    EXPECT_EQ(key.lastImage().size(), QSize(974, 435));

    key.Initialise(second, 20);
    EXPECT_EQ(kep.KeyGrid.size(), 141u);
    EXPECT_EQ(kep.TotalBeats, 20);
    EXPECT_EQ(kep.at(10, 7), 1);
}

TEST(Setup, ZeroCellsLeavesTheGridAndStillSetsUp)
{
    KeP kep;
    chartAt100Bpm(kep, 30);
    setKey(kep, 29, 6);
    FakeHost host;
    host.chart = &kep;
    ImageSurface surface;
    TavixKey key(kep, host);
    key.Initialise(surface, 0);
    EXPECT_TRUE(key.Inited());
    EXPECT_EQ(kep.KeyGrid.size(), 211u);
    EXPECT_EQ(kep.at(29, 6), 1);
    key.Initialise(surface, -5);
    EXPECT_EQ(kep.KeyGrid.size(), 211u);
}

TEST(Setup, OverflowingCellCountThrowsBeforeAnythingElse)
{
    KeP kep;
    chartAt100Bpm(kep, 30);
    FakeHost host;
    host.chart = &kep;
    ImageSurface surface;
    TavixKey key(kep, host);
    EXPECT_THROW(key.Initialise(surface, 400'000'000), std::overflow_error);
    EXPECT_FALSE(key.SetupDone());
    EXPECT_EQ(kep.KeyGrid.size(), 211u);
    // a grid the chart refuses to hold is an error too, again before the set-up
    EXPECT_THROW(key.Initialise(surface, KeP::MaxCells + 1), std::runtime_error);
    EXPECT_FALSE(key.SetupDone());
    EXPECT_EQ(kep.TotalBeats, 30);

    key.Initialise(surface, 40);
    EXPECT_TRUE(key.Inited());
}

TEST(Setup, FailedSetUpIsNeverRetried)
{
    KeP kep;
    chartAt100Bpm(kep, 30);
    FakeHost host;
    host.chart = &kep;
    ImageSurface nowhere(QSize(0, 0));
    ImageSurface surface;
    TavixKey key(kep, host);
    EXPECT_THROW(key.Initialise(nowhere, 30), std::runtime_error);
    EXPECT_TRUE(key.SetupDone());
    EXPECT_FALSE(key.Inited());

    key.Initialise(surface, 60); // only resizes
    EXPECT_FALSE(key.Inited());
    EXPECT_EQ(kep.TotalBeats, 60);
    key.Render(0, 0, true);
    EXPECT_EQ(surface.presented, 0);
    EXPECT_EQ(nowhere.presented, 0);
    EXPECT_TRUE(key.lastFrame().empty());
}

TEST(Setup, RenderBeforeInitialiseDrawsNothingAndLaterWorks)
{
    KeP kep;
    chartAt100Bpm(kep, 30);
    setKey(kep, 0, 1);
    FakeHost host;
    host.chart = &kep;
    host.drag = DragState{0, 0, 900, 400, true, true};
    ImageSurface surface;
    TavixKey key(kep, host);
    key.Render(0, 2000, true);
    EXPECT_TRUE(key.lastFrame().empty());
    EXPECT_EQ(key.SelectedKeys, 0);
    EXPECT_TRUE(host.timeSetValues.empty());

    key.Initialise(surface, kep.TotalBeats);
    key.Render(0, 100, false);
    EXPECT_EQ(surface.presented, 1);
    EXPECT_EQ(key.SelectedKeys, 1);
    EXPECT_EQ(glyphs(key).size(), 1u);
}

TEST(Setup, BackgroundQuadsAreBuiltFromTheCanvasWidth)
{
    KeP kep;
    FakeHost host;
    host.chart = &kep;
    ImageSurface surface;
    TavixKey key(kep, host);
    key.Initialise(surface, 1);
    const auto& top = key.backQuadTop();
    const auto& bottom = key.backQuadBottom();
    const float xs[] = {0, 974, 0, 974};
    const float topYs[] = {0, 0, 189, 189};
    const float bottomYs[] = {207, 207, 396, 396};
    const float tu[] = {0, 1, 0, 1};
    const float tv[] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(top[i].x, xs[i]);
        EXPECT_EQ(top[i].y, topYs[i]);
        EXPECT_EQ(bottom[i].x, xs[i]);
        EXPECT_EQ(bottom[i].y, bottomYs[i]);
        for (const auto* v : {&top[i], &bottom[i]}) {
            EXPECT_EQ(v->z, 0.f);
            EXPECT_EQ(v->rhw, 1.f);
            EXPECT_EQ(v->color, White);
            EXPECT_EQ(v->specular, 0u);
            EXPECT_EQ(v->tu, tu[i]);
            EXPECT_EQ(v->tv, tv[i]);
        }
    }
}

TEST(Accessors, GetKeySBounds)
{
    KeP kep;
    chartAt100Bpm(kep, 100);
    setKey(kep, 14, 1);
    FakeHost host;
    host.chart = &kep;
    ImageSurface surface;
    TavixKey key(kep, host);
    EXPECT_EQ(key.GetKeyS(0), 0);
    EXPECT_EQ(key.GetKeyS(800), 0);
    EXPECT_THROW(key.GetKeyS(801), std::out_of_range);
    EXPECT_THROW(key.GetKeyS(-1), std::out_of_range);

    key.Initialise(surface, kep.TotalBeats);
    host.drag = DragState{0, 0, 900, 400, false, true};
    key.Render(20, -1, false);
    EXPECT_EQ(key.GetKeyS(0), 0); // entry 0 is never written
    EXPECT_EQ(key.GetKeyS(1), 99);
}

TEST(Accessors, MakeVertexKeepsItsArgumentsInOrder)
{
    const ScreenVertex v = TavixKey::MakeVertex(1, 2, 3, 4, 5, 6, 7, 8);
    EXPECT_EQ(v.x, 1.f);
    EXPECT_EQ(v.y, 2.f);
    EXPECT_EQ(v.z, 3.f);
    EXPECT_EQ(v.rhw, 4.f);
    EXPECT_EQ(v.color, 5u);
    EXPECT_EQ(v.specular, 6u);
    EXPECT_EQ(v.tu, 7.f);
    EXPECT_EQ(v.tv, 8.f);
    static_assert(sizeof(ScreenVertex) == 32);
}

} // namespace
