// The pieces of the chart commands that need no window: the clipboard text of keys, the
// paste anchor and writes, random keys and the chart dialogs' settings.
#include "../../chart/Unkept.h"
#include "ChartFileDialogs.h"
#include "FileChooser.h"
#include "KeP.h"
#include "KeyClipboard.h"
#include "RandomKeys.h"
#include "cCommonDialog.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

using namespace tavix;
using tavix::test::unkept;

namespace {

KeP chartOf(int32_t cells, double bpm = 100)
{
    KeP kep;
    kep.setTempo(bpm);
    ChartEdit(kep).resizeCells(cells);
    return kep;
}

void set(KeP& kep, int32_t cell, int row, uint8_t value = 1)
{
    ChartEdit(kep).set(KeP::flatIndex(cell, row), value);
}

SelectionList selectionOf(std::initializer_list<int32_t> indices)
{
    SelectionList s = emptySelection();
    s.insert(s.end(), indices);
    return s;
}

} // namespace

// --- Copy text

TEST(KeyClipboardCopy, OffsetsFromTheFirstKeysCell)
{
    // Cell 10 row 2, cell 10 row 5, cell 12 row 1.
    const auto text = KeyClipboard::copyText(selectionOf({72, 75, 85}));
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, QStringLiteral("ZTC,2,5,15"));
}

TEST(KeyClipboardCopy, RowsOneAndSixOfOneCell)
{
    EXPECT_EQ(KeyClipboard::copyText(selectionOf({71, 76})), QStringLiteral("ZTC,1,6"));
}

TEST(KeyClipboardCopy, EmptySelectionGivesNothing)
{
    EXPECT_FALSE(KeyClipboard::copyText(emptySelection()).has_value());
    EXPECT_FALSE(KeyClipboard::copyText(SelectionList{}).has_value());
}

TEST(KeyClipboardCopy, FarCellsNeedNoSixteenBits)
{
    // Cells 100000 and 105000: indices far beyond 32767, offsets beyond it too.
    const int32_t a = int32_t(KeP::flatIndex(100000, 3));
    const int32_t b = int32_t(KeP::flatIndex(105000, 4));
    EXPECT_EQ(KeyClipboard::copyText(selectionOf({a, b})), QStringLiteral("ZTC,3,35004"));
}

// --- Paste text

TEST(KeyClipboardPaste, ReadsTheOffsets)
{
    EXPECT_EQ(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,2,5,15")),
              (std::vector<int32_t>{2, 5, 15}));
    EXPECT_EQ(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,35004")),
              (std::vector<int32_t>{35004}));
}

TEST(KeyClipboardPaste, MalformedHeadersAreRefused)
{
    for (const char* text : {"ztc,1", "ZTC", "ZTC1", "", " ZTC,1", "ZT,1", "Ztc,1"})
        EXPECT_FALSE(KeyClipboard::pasteOffsets(QString::fromLatin1(text)).has_value()) << text;
}

TEST(KeyClipboardPaste, EmptyPiecesGiveZero)
{
    EXPECT_EQ(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,")), (std::vector<int32_t>{0}));
    EXPECT_EQ(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,3,,4")),
              (std::vector<int32_t>{3, 0, 4}));
    EXPECT_EQ(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,x,7y, 8")),
              (std::vector<int32_t>{0, 7, 8}));
}

TEST(KeyClipboardPaste, NumbersAreRoundedToTheNearest)
{
    EXPECT_EQ(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,2.5,3.5,-1.6")),
              (std::vector<int32_t>{2, 4, -2}));
}

TEST(KeyClipboardPaste, APieceBeyond32BitsSpoilsTheWholePaste)
{
    EXPECT_FALSE(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,1,2147483648")).has_value());
    EXPECT_FALSE(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,1e12,2")).has_value());
    EXPECT_EQ(KeyClipboard::pasteOffsets(QStringLiteral("ZTC,2147483647")),
              (std::vector<int32_t>{2147483647}));
}

TEST(KeyClipboardPaste, AnchorIsOneAfterTheCursorsCell)
{
    const float rate = KeP::rateFromBpm(100);
    EXPECT_EQ(KeyClipboard::pasteAnchor(rate, 150, 0), 2);
    EXPECT_EQ(KeyClipboard::pasteAnchor(rate, 0, 0), 1);
    EXPECT_EQ(KeyClipboard::pasteAnchor(rate, 149, 0), 1);
    // The pixel offset is taken off as if it were milliseconds.
    EXPECT_EQ(KeyClipboard::pasteAnchor(rate, 2103, 10), 14);
    EXPECT_EQ(KeyClipboard::pasteAnchor(rate, 5, 10), 1); // -0.03 cut to 0
    EXPECT_FALSE(KeyClipboard::pasteAnchor(1e30f, 1000000, 0).has_value());
}

TEST(KeyClipboardPaste, OnlySetsAndStopsAtTheEnd)
{
    KeP kep = chartOf(10);
    set(kep, 3, 2, 1);
    const int32_t written = KeyClipboard::paste(unkept(kep), 8, {1, 2, 8, 15, 3});
    // 7*8+1, 7*8+2, 7*9+1 fit; 7*8+15 = 71 > 70 ends the paste, so the 3 never lands.
    EXPECT_EQ(written, 3);
    EXPECT_EQ(kep.at(8, 1), 1);
    EXPECT_EQ(kep.at(8, 2), 1);
    EXPECT_EQ(kep.at(9, 1), 1);
    EXPECT_EQ(kep.at(8, 3), 0);
    EXPECT_EQ(kep.at(3, 2), 1);
}

TEST(KeyClipboardPaste, TheLastElementOfTheGridIsInside)
{
    KeP kep = chartOf(10);
    EXPECT_EQ(KeyClipboard::paste(unkept(kep), 9, {7}), 1);
    EXPECT_EQ(kep.at(9, 7), 1);
    EXPECT_EQ(KeyClipboard::paste(unkept(kep), 0, {-1, 1}), 0);
    EXPECT_EQ(kep.at(0, 1), 0);
}

TEST(KeyClipboardPaste, OffsetZeroIsTheMarkerOfTheCellBefore)
{
    KeP kep = chartOf(10);
    EXPECT_EQ(KeyClipboard::paste(unkept(kep), 4, {0}), 1);
    EXPECT_EQ(kep.at(3, 7), 1);
}

TEST(KeyClipboardPaste, NoGridTakesNothing)
{
    KeP kep;
    EXPECT_EQ(KeyClipboard::paste(unkept(kep), 0, {0, 1}), 0);
    EXPECT_TRUE(kep.KeyGrid.empty());
}

TEST(KeyClipboardDelete, ClearsAndStopsOutsideTheGrid)
{
    KeP kep = chartOf(10);
    set(kep, 1, 1);
    set(kep, 2, 2);
    set(kep, 3, 3);
    KeyClipboard::clear(unkept(kep), selectionOf({8, 1000, 16}));
    EXPECT_EQ(kep.at(1, 1), 0);
    EXPECT_EQ(kep.at(2, 2), 1); // after the index outside, nothing more is cleared
    KeyClipboard::clear(unkept(kep), selectionOf({16, 24}));
    EXPECT_EQ(kep.at(2, 2), 0);
    EXPECT_EQ(kep.at(3, 3), 0);
}

// --- Random keys

TEST(RandomKeysDraw, UniformInTheHalfOpenUnitInterval)
{
    RandomKeys random;
    std::array<int, 6> bins{};
    for (int i = 0; i < 60000; ++i) {
        const float u = random.draw();
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
        ++bins[size_t(u * 6.0f)];
    }
    for (int b : bins) {
        EXPECT_GT(b, 9500);
        EXPECT_LT(b, 10500);
    }
}

TEST(RandomKeysDraw, SameSequenceFromEveryFreshGenerator)
{
    RandomKeys a, b;
    std::vector<float> first, second;
    for (int i = 0; i < 100; ++i) {
        first.push_back(a.draw());
        second.push_back(b.draw());
    }
    EXPECT_EQ(first, second);
    EXPECT_NE(first[0], first[1]);
}

TEST(RandomKeysApply, KeepsCountsAndMarkersAndEmptyCells)
{
    KeP kep = chartOf(400);
    for (int32_t c = 0; c < 400; ++c) {
        for (int r = 1; r <= 6; ++r)
            if ((c * 7 + r * 3) % 5 < c % 4)
                set(kep, c, r);
        if (c % 3 == 0)
            set(kep, c, 7);
    }
    const KeP before = kep;
    RandomKeys random;
    random.apply(unkept(kep));
    int moved = 0;
    for (int32_t c = 0; c < 400; ++c) {
        int n0 = 0, n1 = 0;
        for (int r = 1; r <= 6; ++r) {
            n0 += before.at(c, r);
            n1 += kep.at(c, r);
            ASSERT_LE(kep.at(c, r), 1);
            if (kep.at(c, r) != before.at(c, r))
                ++moved;
        }
        EXPECT_EQ(n0, n1) << c;
        EXPECT_EQ(kep.at(c, 7), before.at(c, 7)) << c;
    }
    EXPECT_EQ(kep.KeyGrid[0], before.KeyGrid[0]);
    EXPECT_EQ(kep.TotalBeats, before.TotalBeats);
    EXPECT_GT(moved, 100); // the keys really were re-drawn
}

TEST(RandomKeysApply, FullCellStaysFullAndSingleKeyVisitsEveryRow)
{
    KeP kep = chartOf(600);
    for (int r = 1; r <= 6; ++r)
        set(kep, 0, r);
    for (int32_t c = 1; c < 600; ++c)
        set(kep, c, 1);
    RandomKeys random;
    random.apply(unkept(kep));
    for (int r = 1; r <= 6; ++r)
        EXPECT_EQ(kep.at(0, r), 1);
    std::array<int, 7> rows{};
    for (int32_t c = 1; c < 600; ++c)
        for (int r = 1; r <= 6; ++r)
            rows[size_t(r)] += kep.at(c, r);
    for (int r = 1; r <= 6; ++r) {
        EXPECT_GT(rows[size_t(r)], 60) << r; // about 100 each
        EXPECT_LT(rows[size_t(r)], 140) << r;
    }
}

TEST(RandomKeysApply, SameChartAndSameCommandsGiveTheSameResult)
{
    KeP a = chartOf(200);
    for (int32_t c = 0; c < 200; c += 2)
        set(a, c, 1 + c % 6);
    KeP b = a;
    RandomKeys ra, rb;
    ra.apply(unkept(a));
    ra.apply(unkept(a));
    rb.apply(unkept(b));
    rb.apply(unkept(b));
    EXPECT_EQ(a.KeyGrid, b.KeyGrid);
}

TEST(RandomKeysApply, ForeignBytesNeverHang)
{
    KeP kep = chartOf(3);
    // Cell 0 sums to 12, more than six rows can hold: every row is given a key.
    for (int r = 1; r <= 6; ++r)
        set(kep, 0, r, 2);
    // Cell 1 sums to 3 from one element: three distinct rows.
    set(kep, 1, 4, 3);
    set(kep, 1, 7, 5); // a foreign marker byte stays as it is
    EXPECT_EQ(RandomKeys::keysToDraw(kep, 0), 6);
    EXPECT_EQ(RandomKeys::keysToDraw(kep, 1), 3);
    EXPECT_EQ(RandomKeys::keysToDraw(kep, 2), 0);
    RandomKeys random;
    random.apply(unkept(kep));
    int cell1 = 0;
    for (int r = 1; r <= 6; ++r) {
        EXPECT_EQ(kep.at(0, r), 1);
        EXPECT_LE(kep.at(1, r), 1);
        cell1 += kep.at(1, r);
        EXPECT_EQ(kep.at(2, r), 0);
    }
    EXPECT_EQ(cell1, 3);
    EXPECT_EQ(kep.at(1, 7), 5);
}

TEST(RandomKeysApply, NoGridDoesNothing)
{
    KeP kep;
    RandomKeys random;
    random.apply(unkept(kep));
    EXPECT_FALSE(kep.hasGrid());
}

// --- Dialog settings

namespace {

class RecordingChooser : public FileChooser
{
public:
    FileChooserRequest last;
    FileChooserAnswer choose(const FileChooserRequest& request) override
    {
        last = request;
        return {};
    }
};

} // namespace

TEST(ChartDialogs, SaveSettingsInBothModes)
{
    RecordingChooser chooser;
    for (bool scriptMode : {false, true}) {
        cCommonDialog dialog(chooser);
        ChartFileDialogs::setUpSave(dialog, nullptr, QStringLiteral("/opt/tavix"), scriptMode);
        EXPECT_EQ(dialog.DialogTitle, QStringLiteral("Save FIle"));
        EXPECT_TRUE(dialog.CancelError);
        EXPECT_EQ(dialog.flags, 2u);
        EXPECT_EQ(dialog.InitDir, QStringLiteral("/opt/tavix"));
        EXPECT_EQ(dialog.FilterIndex, 1);
        EXPECT_TRUE(dialog.DefaultExt.isEmpty());
        EXPECT_EQ(dialog.Filter, scriptMode
                                     ? QStringLiteral("Script documents (*.SLK)|*.SLK|Zorvik Tune "
                                                      "Scribe File (*.ZTS)|*.ZTS")
                                     : QStringLiteral("Zorvik Tune Scribe File (*.ZTS)|*.ZTS"));
        EXPECT_FALSE(dialog.ShowSave()); // the chooser cancels
        EXPECT_TRUE(chooser.last.save);
        EXPECT_TRUE(chooser.last.confirmOverwrite);
        EXPECT_EQ(chooser.last.descriptions.size(), scriptMode ? 2 : 1);
    }
}

TEST(ChartDialogs, OpenSettings)
{
    RecordingChooser chooser;
    cCommonDialog dialog(chooser);
    ChartFileDialogs::setUpOpen(dialog, nullptr, QStringLiteral("/opt/tavix"));
    EXPECT_EQ(dialog.DialogTitle, QStringLiteral("Open FIle"));
    EXPECT_TRUE(dialog.CancelError);
    EXPECT_EQ(dialog.flags, 6144u);
    EXPECT_EQ(dialog.InitDir, QStringLiteral("/opt/tavix"));
    EXPECT_EQ(dialog.FilterIndex, 1);
    EXPECT_EQ(dialog.Filter, QStringLiteral("All Support documents (*.SLK;*.ZTS)|*.SLK;*.ZTS"));
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_FALSE(chooser.last.save);
    EXPECT_TRUE(chooser.last.fileMustExist);
    EXPECT_EQ(chooser.last.patterns, QStringList{QStringLiteral("*.SLK;*.ZTS")});
}
