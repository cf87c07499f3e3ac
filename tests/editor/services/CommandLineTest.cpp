// The command line: the script-mode switch, its decoding, and the files it names.
#include "GData.h"
#include "LaunchFiles.h"

#include <gtest/gtest.h>

using namespace tavix;

// --- GData and the script-mode switch

TEST(GData, DecodesDigitPairsInOrder)
{
    EXPECT_EQ(GData(QStringLiteral("00FF7f10")), (std::vector<uint8_t>{0x00, 0xFF, 0x7F, 0x10}));
    EXPECT_EQ(GData(QStringLiteral("a5")), (std::vector<uint8_t>{0xA5}));
}

TEST(GData, LengthRuleRoundsHalvesToEven)
{
    // k = nearest(L / 2 - 1): L = 0 gives no byte, L = 1 and 3 one byte (k = 0), L = 5
    // three bytes (k = 2, halves to even), the last one read from a single digit.
    EXPECT_TRUE(GData(QString()).empty());
    EXPECT_EQ(GData(QStringLiteral("7")), (std::vector<uint8_t>{0x07}));
    EXPECT_EQ(GData(QStringLiteral("123")), (std::vector<uint8_t>{0x12}));
    EXPECT_EQ(GData(QStringLiteral("12345")), (std::vector<uint8_t>{0x12, 0x34, 0x05}));
    // L = 7: nearest(2.5) is 2, so the seventh digit is never read.
    EXPECT_EQ(GData(QStringLiteral("1234567")), (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    EXPECT_EQ(GData(QStringLiteral("123456789")),
              (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78, 0x09}));
}

TEST(GData, NonDigitsEndAPiece)
{
    EXPECT_EQ(GData(QStringLiteral("1GZZ")), (std::vector<uint8_t>{0x01, 0x00}));
}

TEST(GData, ThirtyTwoDigitsGiveSixteenBytes)
{
    const auto bytes = GData(QStringLiteral("000102030405060708090A0B0C0D0E0F"));
    ASSERT_EQ(bytes.size(), 16u);
    for (size_t i = 0; i < bytes.size(); ++i)
        EXPECT_EQ(bytes[i], i);
}

TEST(ScriptSwitch, IsTheSixteenLetterSwitch)
{
    EXPECT_EQ(scriptModeSwitch(), QStringLiteral("/TavixScriptMode"));
}

TEST(ScriptSwitch, FoundAsCaseSensitiveSubstring)
{
    EXPECT_TRUE(commandLineHasScriptSwitch(QStringLiteral("tavix-editor /TavixScriptMode")));
    EXPECT_TRUE(commandLineHasScriptSwitch(QStringLiteral("tavix-editor x/TavixScriptModeON y")));
    EXPECT_FALSE(commandLineHasScriptSwitch(QStringLiteral("tavix-editor /tavixscriptmode")));
    EXPECT_FALSE(commandLineHasScriptSwitch(QStringLiteral("tavix-editor /TavixScript Mode")));
    EXPECT_FALSE(commandLineHasScriptSwitch(QString()));
}

TEST(LaunchFiles, SongsAndChartsByTheirNamesSkippingOptionsAndTheSwitch)
{
    const auto files = [](QStringList args) {
        args.prepend(QStringLiteral("tavix-editor"));
        return LaunchFiles::fromArguments(args);
    };
    LaunchFiles f = files({QStringLiteral("--verbose"), QStringLiteral("x/TavixScriptMode.slk"),
                           QStringLiteral("song.ogg"), QStringLiteral("b.Slk"),
                           QStringLiteral("c.zts"), QStringLiteral("other.ogg")});
    EXPECT_EQ(f.song, QStringLiteral("song.ogg"));
    EXPECT_EQ(f.chart, QStringLiteral("b.Slk"));
    EXPECT_EQ(
        files({QStringLiteral("-a.zts"), QStringLiteral("--"), QStringLiteral("-b.zts")}).chart,
        QStringLiteral("-b.zts"));
}
