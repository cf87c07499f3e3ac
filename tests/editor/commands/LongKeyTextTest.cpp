// The clipboard text of copies too large for the classic one: when it is needed, what it
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

TEST(LongKeyText, OnlyCopiesBeyondAMillionCharactersNeedIt)
{
    EXPECT_FALSE(LongKeyText::needed(emptySelection()));
    // "ZTC,3,35004": the classic text carries keys far apart.
    const SelectionList far = keys({7 * 100000 + 3, 7 * 105000 + 4});
    EXPECT_EQ(LongKeyText::classicLength(far), 11);
    EXPECT_FALSE(LongKeyText::needed(far));
    // Offsets of six digits (",123456" is 7 characters): 142,857 of them are a million.
    SelectionList many = keys({1});
    for (int32_t i = 0; i < 142'856; ++i)
        many.push_back(7 * (20'000 + i / 6) + 1 + i % 6);
    EXPECT_EQ(LongKeyText::classicLength(many), 3 + 2 + 7 * 142'856);
    EXPECT_FALSE(LongKeyText::needed(many));
    many.push_back(7 * 50'000 + 2);
    EXPECT_TRUE(LongKeyText::needed(many));
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
