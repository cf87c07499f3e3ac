#include "ChartChecks.h"
#include "ChartTestFiles.h"
#include "NumberReading.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

// A cell of 16 ms: a rate single precision holds exactly, so the edges fall on cells.
constexpr float Rate = 1.0f / 16.0f;

CheckInput timedAt(double leadMs = 0.0)
{
    CheckInput in;
    in.timing = CellTiming{Rate, leadMs};
    return in;
}

struct Span
{
    int32_t first;
    int32_t last;
    friend bool operator==(const Span&, const Span&) = default;
};

std::vector<Span> spans(const std::vector<CheckFinding>& found)
{
    std::vector<Span> out;
    for (const CheckFinding& f : found)
        out.push_back({f.first, f.last});
    return out;
}

} // namespace

TEST(ChartChecks, ACleanChartAtTheEditorsTimingFindsNothing)
{
    // Keys every 4 cells through the six rows, markers laid by Auto Space from cell 4.
    KeP kep = chartWith(640, {});
    for (int32_t c = 4; c < 600; c += 4)
        ChartEdit(kep).set(KeP::flatIndex(c, 1 + (c / 4) % 6), 1);
    for (int32_t c = 4; c < 640; c += 32)
        ChartEdit(kep).set(KeP::flatIndex(c, 7), 1);
    CheckInput in;
    in.timing = CellTiming::of(KeP::rateFromBpm(100), offsetTerm(0.7));
    in.songLenMs = 640 / double(in.timing.beatRate);
    const std::vector<float> loud(size_t(*in.songLenMs / 10) + 1, 0.5f);
    in.levels = SongLevels{10.0, loud};
    EXPECT_TRUE(ChartChecks::all(kep, in).empty());
}

TEST(ChartChecks, KeysOutsideTheMusic)
{
    const KeP kep = chartWith(64, {{0, 1}, {2, 2}, {3, 3}, {49, 4}, {50, 5}, {60, 6}, {60, 1}});
    CheckInput in = timedAt();
    in.songLenMs = 800.0; // cell 50 begins as the song ends
    EXPECT_TRUE(ChartChecks::beforeMusicStart(kep, in).empty());
    const auto after = ChartChecks::afterSongEnd(kep, in);
    ASSERT_EQ(spans(after), (std::vector<Span>{{50, 60}}));
    EXPECT_EQ(after[0].message, QStringLiteral("3 keys after the song ends at 0:00"));

    in.timing.leadMs = 48.0; // cell 3 begins as the music does
    const auto before = ChartChecks::beforeMusicStart(kep, in);
    ASSERT_EQ(spans(before), (std::vector<Span>{{0, 2}}));
    EXPECT_EQ(before[0].message,
              QStringLiteral("2 keys before the music starts, in the lead of 48 ms"));
    // The end moves with the lead: cell 53 now begins as the song ends.
    EXPECT_EQ(spans(ChartChecks::afterSongEnd(kep, in)), (std::vector<Span>{{60, 60}}));
}

TEST(ChartChecks, KeysOverSilenceLongEnoughToCount)
{
    // One peak a cell; silent over cells 100-115 (256 ms), 200-204 (a gap between notes)
    // and 300-319.
    std::vector<float> peaks(400, 0.3f);
    for (auto [from, to] : {std::pair{100, 115}, {200, 204}, {300, 319}})
        std::fill(peaks.begin() + from, peaks.begin() + to + 1, 0.004f);
    const KeP kep = chartWith(400, {{99, 1}, {100, 1}, {110, 2}, {150, 3}, {202, 4}, {305, 5}});
    CheckInput in = timedAt();
    in.levels = SongLevels{16.0, peaks};
    const auto found = ChartChecks::overSilence(kep, in);
    ASSERT_EQ(spans(found), (std::vector<Span>{{100, 110}, {305, 305}}));
    EXPECT_EQ(found[0].message,
              QStringLiteral("2 keys where the song is silent (0.3 s from 0:01)"));
}

TEST(ChartChecks, GridValuesOtherThanZeroAndOne)
{
    KeP kep = chartWith(12, {{5, 1}});
    for (auto [cell, row, value] : {std::tuple{5, 2, 2}, {6, 7, 9}, {9, 1, 3}})
        ChartEdit(kep).set(KeP::flatIndex(cell, row), uint8_t(value));
    const auto found = ChartChecks::oddGridValues(kep);
    ASSERT_EQ(spans(found), (std::vector<Span>{{5, 6}, {9, 9}}));
    EXPECT_EQ(found[0].message, QStringLiteral("2 grid values other than 0 and 1 (up to 9)"));
    EXPECT_EQ(found[1].message, QStringLiteral("1 grid value other than 0 and 1 (up to 3)"));
}

TEST(ChartChecks, MarkersOffThePatternTheMajorityFollows)
{
    const KeP kep = chartWith(128, {{4, 7}, {36, 7}, {50, 7}, {51, 7}, {68, 7}, {90, 7}, {100, 7}});
    const auto found = ChartChecks::markersOffPattern(kep, timedAt());
    ASSERT_EQ(spans(found), (std::vector<Span>{{50, 51}, {90, 90}}));
    EXPECT_EQ(found[0].message, QStringLiteral("2 confirm markers off the every-32-cells pattern "
                                               "of the others (cells 4, 36, 68, ...)"));
    // Half on one place is no pattern to hold the others to.
    EXPECT_TRUE(ChartChecks::markersOffPattern(chartWith(64, {{0, 7}, {32, 7}, {10, 7}, {20, 7}}),
                                               timedAt())
                    .empty());
}

TEST(ChartChecks, StretchesDenserThanTheLimit)
{
    // 2 s are 125 cells: 24 keys in them are 12 a second, the limit itself; 30 are over.
    KeP kep = chartWith(600, {});
    for (int32_t c = 0; c < 24; ++c)
        ChartEdit(kep).set(KeP::flatIndex(c, 1 + c % 6), 1);
    for (int32_t c = 400; c < 430; ++c)
        ChartEdit(kep).set(KeP::flatIndex(c, 1 + c % 6), 1);
    const auto found = ChartChecks::tooDense(kep, timedAt());
    ASSERT_EQ(spans(found), (std::vector<Span>{{400, 429}}));
    EXPECT_EQ(found[0].message, QStringLiteral("up to 30 keys in 2 s (15.0 keys/s, limit 12)"));
}

TEST(ChartChecks, TheSameKeyAgainTooSoon)
{
    // 60 ms are 3.75 cells. Key 7 at 10, 12, 14 and key 4 at 13, 16 chain into one
    // finding; key 1 four cells apart is slow enough.
    const KeP kep = chartWith(
        256, {{10, 1}, {12, 1}, {14, 1}, {13, 2}, {16, 2}, {100, 3}, {104, 3}, {200, 6}, {203, 6}});
    const auto found = ChartChecks::quickRepeats(kep, timedAt());
    ASSERT_EQ(spans(found), (std::vector<Span>{{10, 16}, {200, 203}}));
    EXPECT_EQ(found[0].message,
              QStringLiteral("keys 7, 4 again after as little as 32 ms (limit 60 ms)"));
    EXPECT_EQ(found[1].message, QStringLiteral("key 3 again after 48 ms (limit 60 ms)"));
}

TEST(ChartChecks, AllListsEveryKindByFirstCell)
{
    KeP kep = chartWith(300, {{0, 1}, {200, 2}, {202, 2}});
    ChartEdit(kep).set(KeP::flatIndex(100, 3), 5);
    const auto found = ChartChecks::all(kep, timedAt(8.0));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].kind, CheckKind::BeforeMusicStart);
    EXPECT_EQ(found[1].kind, CheckKind::OddGridValue);
    EXPECT_EQ(found[2].kind, CheckKind::QuickRepeat);
}
