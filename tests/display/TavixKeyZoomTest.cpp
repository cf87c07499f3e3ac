// Frames at every zoom: glyphs on their cells, the drag rectangle's selection, the
// selections of the keyboard and the lit cursor cell; and back at 32 pixels a cell the
// classic frame, pixel for pixel.
#include "DisplayTestSupport.h"
#include "TimeAxis.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

class ZoomHost : public FakeHost
{
public:
    CellRange cells;
    SelectionList keys = emptySelection();
    bool lit = false;
    CellRange selectedCells() const override { return cells; }
    const SelectionList* shownKeys() const override { return &keys; }
    bool cursorCellLit() const override { return lit; }
};

class ZoomTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chartAt100Bpm(kep, 400);
        for (int c = 0; c < 400; c += 3)
            setKey(kep, c, 1 + c % 7);
        key.Initialise(surface, kep.TotalBeats);
    }

    std::vector<Quad> ofTexture(Texture texture) const
    {
        std::vector<Quad> out;
        for (const Quad& q : key.lastFrame())
            if (q.texture == texture)
                out.push_back(q);
        return out;
    }

    KeP kep;
    ZoomHost host;
    ImageSurface surface;
    TavixKey key{kep, host};
};

} // namespace

TEST_F(ZoomTest, GlyphsStandOnTheirCellsAndTheRectangleSelectsTheirCentres)
{
    for (const int width : TimeAxis::CellWidths) {
        SCOPED_TRACE(width);
        key.setCellWidth(width);
        host.drag = {300, 0, 700, 434, false, true};
        key.Render(20, -1, false);
        const TimeAxis axis = TimeAxis::at(kep, 2000, width);
        int32_t expectSelected = 0;
        int glyphs = 0;
        for (int64_t c = axis.firstBeat; c <= axis.firstBeat + axis.drawnSpan(); ++c) {
            for (int r = 1; r <= 7; ++r) {
                if (kep.at(int32_t(c), r) == 0)
                    continue;
                ++glyphs;
                const float centre = axis.glyphCentre(c);
                // The pointer on the glyph's middle lands in the glyph's own cell.
                EXPECT_EQ(axis.cellAt(centre), c);
                expectSelected += r < 7 && centre > 300 && centre < 700;
            }
        }
        EXPECT_EQ(tavix::test::glyphs(key).size(), size_t(glyphs));
        EXPECT_EQ(key.SelectedKeys, expectSelected);
        const Quad first = tavix::test::glyphs(key).front();
        EXPECT_EQ(first.v[1].x - first.v[0].x, float(axis.glyphWidth()));
    }
    // 129 cells at 8 pixels: first .. first + 128.
    key.setCellWidth(8);
    key.Render(0, -1, false);
    EXPECT_EQ(tavix::test::glyphs(key).size(), size_t(128 / 3 + 1));
}

TEST_F(ZoomTest, KeyboardSelectionsAreGreyAndOutlinedAndTheCursorCellLitWithTheGuides)
{
    host.cells = {3, 9};
    host.keys.push_back(int32_t(KeP::flatIndex(12, 6)));
    key.Render(0, 5 * 150 + 75, false);
    for (const Quad& q : tavix::test::glyphs(key)) {
        const int64_t cell = TimeAxis::at(kep, 0, 32).cellAt(q.v[0].x + 31);
        const bool marker = q.texture == Texture::Key7;
        EXPECT_EQ(q.v[0].color, !marker && (host.cells.contains(cell) || cell == 12) ? Grey : White)
            << cell;
    }
    // Four sides around cells 3 to 9, over the key rows, besides the cursor line.
    EXPECT_EQ(lines(key).size(), 5u);
    EXPECT_EQ(rectOf(lines(key)[0]), QRectF(16 + 3 * 32, 0, 1, 396));
    EXPECT_TRUE(ofTexture(Texture::CursorCell).empty());
    host.lit = true;
    key.Render(0, 5 * 150 + 75, false);
    EXPECT_TRUE(ofTexture(Texture::CursorCell).empty()); // the classic frame has none
    key.setGuides({true, nullptr, 0.0});
    key.Render(0, 5 * 150 + 75, false);
    const auto lit = ofTexture(Texture::CursorCell);
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(rectOf(lit[0]), QRectF(16 + 5 * 32, 0, 32, 432));
}

TEST_F(ZoomTest, BackAtThirtyTwoTheFrameIsTheClassicOne)
{
    ImageSurface other;
    FakeHost plain;
    TavixKey classic(kep, plain);
    classic.Initialise(other, kep.TotalBeats);
    host.drag = plain.drag = {200, 10, 640, 300, true, true};
    classic.Render(37, 4321, false);
    key.setCellWidth(8);
    key.Render(37, 4321, false);
    key.setCellWidth(64);
    key.Render(37, 4321, false);
    EXPECT_NE(surface.last, other.last);
    key.setCellWidth(32);
    key.Render(37, 4321, false);
    EXPECT_EQ(surface.last, other.last);
    EXPECT_EQ(key.SelectedKeys, classic.SelectedKeys);
}
