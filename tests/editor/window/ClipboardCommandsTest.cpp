// Copy, cut, paste, delete and random keys in the window, through its toolbar.
#include "CanvasView.h"
#include "EditingRig.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

enum Button { Random = 3, Copy = 4, Cut = 5, Paste = 6, Delete = 7 };

// Keys at cell 10 row 2, cell 10 row 5 and cell 12 row 1, selected with a drag.
void selectExampleKeys(EditingRig& rig)
{
    rig.set(10, 2);
    rig.set(10, 5);
    rig.set(12, 1);
    rig.drag(340, 10, 430, 320);
    ASSERT_EQ(rig.ke.state().SelKeys, selectionOf({72, 75, 85}));
}

int keyCount(const KeP& kep)
{
    int n = 0;
    for (uint8_t v : kep.KeyGrid)
        n += v;
    return n;
}

void expectSelectionEnded(EditingRig& rig)
{
    EXPECT_EQ(rig.ke.state().SelKeys, emptySelection());
    EXPECT_FALSE(rig.ke.state().drag.MouseMove);
    EXPECT_FALSE(rig.ke.state().drag.MouseDown);
}

} // namespace

TEST(CopyCommand, WritesTheOffsetsOfTheSelection)
{
    EditingRig rig;
    selectExampleKeys(rig);
    rig.ke.buttonClick(Copy);
    EXPECT_EQ(rig.clipboard.content, QStringLiteral("ZTC,2,5,15"));
    // The selection stays, so the copy can be repeated.
    EXPECT_EQ(rig.ke.state().SelKeys, selectionOf({72, 75, 85}));
    EXPECT_TRUE(rig.ke.state().drag.MouseMove);
}

TEST(CopyCommand, NothingSelectedLeavesTheClipboard)
{
    EditingRig rig;
    rig.clipboard.content = QStringLiteral("something else");
    rig.ke.buttonClick(Copy);
    EXPECT_EQ(rig.clipboard.content, QStringLiteral("something else"));
}

TEST(PasteCommand, AnchorIsOneCellAfterTheCursor)
{
    EditingRig rig;
    rig.clipboard.content = QStringLiteral("ZTC,2,5,15");
    rig.click(48, 200);
    ASSERT_EQ(rig.ke.state().CursorMs, 150);
    rig.ke.buttonClick(Paste);
    EXPECT_EQ(rig.at(2, 2), 1);
    EXPECT_EQ(rig.at(2, 5), 1);
    EXPECT_EQ(rig.at(4, 1), 1);
    EXPECT_EQ(keyCount(rig.kep), 3);
    expectSelectionEnded(rig);
}

TEST(PasteCommand, OnlySetsNeverClears)
{
    EditingRig rig;
    rig.set(2, 1);
    rig.set(2, 2);
    rig.clipboard.content = QStringLiteral("ZTC,2");
    rig.click(48, 200);
    rig.ke.buttonClick(Paste);
    EXPECT_EQ(rig.at(2, 1), 1);
    EXPECT_EQ(rig.at(2, 2), 1);
    EXPECT_EQ(keyCount(rig.kep), 2);
}

TEST(PasteCommand, NearTheEndWritesWhatFitsAndStops)
{
    EditingRig rig;
    rig.ke.TimeSet().setValue(590); // first cell 393, 10 pixels scrolled past
    rig.click(144, 200);
    ASSERT_EQ(rig.ke.state().CursorMs, 59600);
    rig.clipboard.content = QStringLiteral("ZTC,1,15,8");
    rig.ke.buttonClick(Paste); // anchor 398: 7*398+15 is past the grid's 2800
    EXPECT_EQ(rig.at(398, 1), 1);
    EXPECT_EQ(rig.at(399, 1), 0); // after the stop, not written
    EXPECT_EQ(keyCount(rig.kep), 1);
    rig.clipboard.content = QStringLiteral("ZTC,6,13");
    rig.ke.buttonClick(Paste);
    EXPECT_EQ(rig.at(398, 6), 1);
    EXPECT_EQ(rig.at(399, 6), 1);
    EXPECT_EQ(rig.kep.TotalBeats, 400); // never resized
}

TEST(PasteCommand, MalformedHeadersChangeNoKeyButEndTheSelection)
{
    for (const char* text : {"ztc,1", "ZTC", "ZTC1,2", "", "hello"}) {
        SCOPED_TRACE(text);
        EditingRig rig;
        selectExampleKeys(rig);
        const auto grid = rig.kep.KeyGrid;
        rig.clipboard.content = QString::fromLatin1(text);
        rig.ke.buttonClick(Paste);
        EXPECT_EQ(rig.kep.KeyGrid, grid);
        expectSelectionEnded(rig);
    }
}

TEST(PasteCommand, EmptyPiecesSetTheMarkerOfTheCellBeforeTheAnchor)
{
    EditingRig rig;
    rig.click(48, 200); // anchor 2
    rig.clipboard.content = QStringLiteral("ZTC,");
    rig.ke.buttonClick(Paste);
    EXPECT_EQ(rig.at(1, 7), 1);
    EXPECT_EQ(keyCount(rig.kep), 1);
    rig.clipboard.content = QStringLiteral("ZTC,3,,11");
    rig.ke.buttonClick(Paste);
    EXPECT_EQ(rig.at(2, 3), 1);
    EXPECT_EQ(rig.at(3, 4), 1);
    EXPECT_EQ(keyCount(rig.kep), 3);
}

TEST(PasteCommand, NegativeCursorChangesNothing)
{
    EditingRig rig;
    selectExampleKeys(rig);
    rig.click(0, 200);
    ASSERT_EQ(rig.ke.state().CursorMs, -75);
    // The click left the frozen state; select again.
    rig.drag(340, 10, 430, 320);
    const auto grid = rig.kep.KeyGrid;
    rig.clipboard.content = QStringLiteral("ZTC,1");
    rig.ke.buttonClick(Paste);
    EXPECT_EQ(rig.kep.KeyGrid, grid);
    expectSelectionEnded(rig);
}

TEST(PasteCommand, APieceBeyond32BitsWritesNothing)
{
    EditingRig rig;
    rig.click(48, 200);
    rig.clipboard.content = QStringLiteral("ZTC,1,2,99999999999");
    rig.ke.buttonClick(Paste);
    EXPECT_EQ(keyCount(rig.kep), 0);
}

TEST(PasteCommand, FarIntoALongChart)
{
    // 100000 cells: flat indices and offsets far beyond 16 bits.
    EditingRig rig(15'000'000);
    ASSERT_EQ(rig.kep.TotalBeats, 100000);
    rig.ke.TimeSet().setValue(140000); // cell 93333, 10 pixels past the edge
    rig.set(93334, 3);
    rig.set(93336, 6);
    rig.drag(20, 10, 200, 420);
    const int32_t first = int32_t(KeP::flatIndex(93334, 3));
    ASSERT_EQ(rig.ke.state().SelKeys, selectionOf({first, first + 17}));
    rig.ke.buttonClick(Cut);
    EXPECT_EQ(rig.clipboard.content, QStringLiteral("ZTC,3,20"));
    rig.ke.TimeSet().setValue(145000);
    rig.click(16, 200);
    rig.ke.buttonClick(Paste);
    const int64_t h = int64_t(double(rig.kep.BeatRate) *
                              (rig.ke.state().CursorMs - CanvasView::at(rig.kep, 145000).pixOff)) +
                      1;
    EXPECT_EQ(rig.at(int32_t(h), 3), 1);
    EXPECT_EQ(rig.at(int32_t(h) + 2, 6), 1);
    EXPECT_EQ(keyCount(rig.kep), 2);
}

TEST(DeleteCommand, ClearsTheSelectedKeysAndEndsTheSelection)
{
    EditingRig rig;
    selectExampleKeys(rig);
    rig.set(11, 7); // inside the rectangle, but markers are never selected
    rig.set(30, 1);
    rig.ke.buttonClick(Delete);
    EXPECT_EQ(rig.at(10, 2), 0);
    EXPECT_EQ(rig.at(10, 5), 0);
    EXPECT_EQ(rig.at(12, 1), 0);
    EXPECT_EQ(rig.at(11, 7), 1);
    EXPECT_EQ(rig.at(30, 1), 1);
    expectSelectionEnded(rig);
    // With nothing selected it only ends the selection.
    rig.ke.buttonClick(Delete);
    EXPECT_EQ(keyCount(rig.kep), 2);
}

TEST(CutCommand, ThenPasteMovesTheKeys)
{
    EditingRig rig;
    selectExampleKeys(rig);
    rig.ke.buttonClick(Cut);
    EXPECT_EQ(rig.clipboard.content, QStringLiteral("ZTC,2,5,15"));
    EXPECT_EQ(keyCount(rig.kep), 0);
    expectSelectionEnded(rig);
    rig.click(48 + 32 * 20, 200); // cursor in cell 21, anchor 22
    rig.ke.buttonClick(Paste);
    EXPECT_EQ(rig.at(22, 2), 1);
    EXPECT_EQ(rig.at(22, 5), 1);
    EXPECT_EQ(rig.at(24, 1), 1);
    EXPECT_EQ(rig.at(10, 2), 0);
    EXPECT_EQ(rig.at(12, 1), 0);
    EXPECT_EQ(keyCount(rig.kep), 3);
}

TEST(ClipboardCommands, RunDuringPlayback)
{
    EditingRig rig;
    rig.clipboard.content = QStringLiteral("ZTC,1");
    rig.ke.buttonClick(0);
    ASSERT_TRUE(rig.ke.state().IsPlaying);
    rig.ke.buttonClick(Paste); // cursor 0: anchor 1
    EXPECT_EQ(rig.at(1, 1), 1);
}

// --- Random keys

namespace {

void fillPattern(EditingRig& rig)
{
    for (int c = 0; c < 400; ++c) {
        for (int r = 1; r <= 6; ++r)
            if ((c * 5 + r * 7) % 9 < c % 5)
                rig.set(c, r);
        if (c % 4 == 1)
            rig.set(c, 7);
    }
}

} // namespace

TEST(RandomKeysCommand, KeepsCountsMarkersAndSelection)
{
    EditingRig rig;
    fillPattern(rig);
    rig.drag(340, 10, 430, 320);
    const SelectionList selected = rig.ke.state().SelKeys;
    ASSERT_GE(selectionCount(selected), 2);
    const KeP before = rig.kep;
    rig.ke.buttonClick(Random);
    int changed = 0;
    for (int c = 0; c < 400; ++c) {
        int n0 = 0, n1 = 0;
        for (int r = 1; r <= 6; ++r) {
            n0 += before.at(c, r);
            n1 += rig.at(c, r);
            changed += before.at(c, r) != rig.at(c, r);
        }
        EXPECT_EQ(n0, n1) << c;
        EXPECT_EQ(before.at(c, 7), rig.at(c, 7)) << c;
    }
    EXPECT_GT(changed, 50);
    EXPECT_EQ(rig.ke.state().SelKeys, selected);
    EXPECT_TRUE(rig.ke.state().drag.MouseMove);
}

TEST(RandomKeysCommand, RepeatsAcrossTwoFreshWindows)
{
    std::vector<uint8_t> results[2];
    for (auto& result : results) {
        EditingRig rig;
        fillPattern(rig);
        rig.ke.buttonClick(Random);
        rig.ke.buttonClick(Random);
        result = rig.kep.KeyGrid;
    }
    EXPECT_EQ(results[0], results[1]);

    // The generator carries on within one window: the second press differs from the first.
    EditingRig rig;
    fillPattern(rig);
    rig.ke.buttonClick(Random);
    const auto once = rig.kep.KeyGrid;
    EXPECT_NE(once, results[0]);
}

TEST(RandomKeysCommand, WithoutAGridDoesNothing)
{
    EditingRig rig(0);
    rig.ke.buttonClick(Random);
    EXPECT_FALSE(rig.kep.hasGrid());
}
