// The clipboard text of keys too far apart for the classic one: when it is needed, what it
// holds, and that it reads back to the offsets the classic text would give.
#include "LongKeyText.h"

#include <gtest/gtest.h>

#include <random>

using namespace tavix;

namespace {

SelectionList keys(std::initializer_list<int32_t> indices)
{
    SelectionList s = emptySelection();
    s.insert(s.end(), indices);
    return s;
}

} // namespace

TEST(LongKeyText, OnlyOffsetsBeyondSixteenBitsNeedIt)
{
    EXPECT_FALSE(LongKeyText::needed(emptySelection()));
    // Cell 4680 row 6 is offset 32766 from cell 0; cell 4681 row 1 is 32768.
    EXPECT_FALSE(LongKeyText::needed(keys({1, 32766})));
    EXPECT_TRUE(LongKeyText::needed(keys({1, 32768})));
    // Offsets count from the first key's cell, wherever the keys lie.
    EXPECT_FALSE(LongKeyText::needed(keys({700001, 700001 + 32766})));
}

TEST(LongKeyText, CellsByTheirDistanceAndRowsReadBackAsTheClassicOffsets)
{
    // Cell 10 rows 2 and 5, cell 12 row 1, then cell 5012 row 6.
    const SelectionList s = keys({72, 75, 85, 7 * 5012 + 6});
    EXPECT_EQ(LongKeyText::write(s), QStringLiteral("ZTCR,0:25,2:1,5000:6"));
    const auto offsets = LongKeyText::read(LongKeyText::write(s));
    ASSERT_TRUE(offsets);
    EXPECT_EQ(*offsets, (std::vector<int32_t>{2, 5, 15, 7 * 5002 + 6}));

    // A whole chart's keys, far apart and close together.
    std::mt19937 random(9);
    SelectionList many = emptySelection();
    for (int64_t cell = 3; cell < 1'000'000; cell += 1 + int64_t(random() % 40))
        for (int row = 1; row <= 6; ++row)
            if (random() % 3 == 0)
                many.push_back(int32_t(7 * cell + row));
    const auto back = LongKeyText::read(LongKeyText::write(many));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), many.size() - 1);
    const int32_t base = 7 * ((many[1] - 1) / 7);
    for (size_t i = 1; i < many.size(); ++i)
        ASSERT_EQ((*back)[i - 1], many[i] - base);
}

TEST(LongKeyText, AnythingElseIsRefusedWhole)
{
    for (const char* text :
         {"ZTC,1,2", "ztcr,0:1", "ZTCR0:1", "ZTCR,", "ZTCR,0:", "ZTCR,0:17", "ZTCR,:1", "ZTCR,x:1",
          "ZTCR,0:1,", "ZTCR,0:1,2", "ZTCR,-1:1", "ZTCR,0:1,99999999999:1", "ZTCR,0:1 "})
        EXPECT_FALSE(LongKeyText::read(QString::fromLatin1(text))) << text;
}
