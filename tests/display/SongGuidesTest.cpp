// The song behind the keys: the waveform on the chart's time axis, the beat and measure
// lines with the measure numbers, and the classic frame when they are switched off.
#include "DisplayTestSupport.h"
#include "Rounding.h"
#include "WaveformPeaks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace tavix;
using namespace tavix::test;

namespace {

constexpr int Rate = 44100;

// A stereo song of silence with a short loud click at each music time, decoded as far as
// `decodedMs` (all of it when negative).
std::shared_ptr<WaveformPeaks> songWithClicks(const std::vector<double>& clickMs, double lengthMs,
                                              double decodedMs = -1)
{
    const auto frames = int64_t(lengthMs * Rate / 1000);
    std::vector<int16_t> s(size_t(frames * 2), 0);
    for (const double ms : clickMs)
        for (int64_t f = int64_t(ms * Rate / 1000); f < int64_t(ms * Rate / 1000) + 8; ++f)
            s[size_t(2 * f)] = 30000;
    auto peaks = std::make_shared<WaveformPeaks>(2, Rate, frames);
    const int64_t upTo = decodedMs < 0 ? frames : int64_t(decodedMs * Rate / 1000);
    peaks->add(s.data(), upTo);
    if (upTo == frames)
        peaks->finish();
    return peaks;
}

QColor pixel(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

const QColor DarkRed(128, 0, 0);
const QColor Black(0, 0, 0);

class SongGuidesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chartAt100Bpm(kep, 400);
        key.Initialise(surface, kep.TotalBeats);
        ASSERT_TRUE(key.Inited());
    }

    // The x of the lines of a kind, the left of their cells' start.
    std::vector<float> linesOf(Texture texture) const
    {
        std::vector<float> out;
        for (const Quad& q : key.lastFrame())
            if (q.texture == texture)
                out.push_back(q.v[0].x);
        return out;
    }

    KeP kep;
    FakeHost host;
    ImageSurface surface;
    TavixKey key{kep, host};
};

TEST_F(SongGuidesTest, EachClickPeaksAtTheXWhereTheDisplayPutsItsChartTime)
{
    const std::vector<double> clicks{1000.0, 2345.6, 4000.0, 5123.4, 7321.0, 9000.0, 12001.0};
    const auto peaks = songWithClicks(clicks, 15000);
    struct Case
    {
        double bpm, leadMs;
        int32_t ms; // time bar value
    };
    // Views with and without a fraction of a cell scrolled, leads of both signs.
    for (const Case c : {Case{100, 28.0, 0}, Case{100, 28.0, 20}, Case{173, 0.0, 37},
                         Case{173, -45.5, 61}, Case{60, 112.3, 7}}) {
        SCOPED_TRACE(testing::Message() << c.bpm << " BPM, lead " << c.leadMs << ", bar " << c.ms);
        kep.setTempo(c.bpm);
        key.setGuides({true, peaks, c.leadMs});
        key.Render(c.ms, -1, false);
        const std::vector<WaveColumn>& wave = key.lastWaveform();
        ASSERT_EQ(wave.size(), 974u);

        const int64_t scrollMs = int64_t{c.ms} * 100;
        const int32_t firstBeat = kep.MsToBeat(scrollMs);
        const int32_t pixOff = truncInt32(double(kep.MsToBeatFrac(scrollMs)) * 32.0);
        const auto loud = [&](int x) {
            return x >= 0 && x < 974 && wave[size_t(x)].top < 40 && wave[size_t(x)].bottom > 40;
        };
        int expected = 0;
        for (const double m : clicks) {
            const auto x = int(std::floor(
                16 - pixOff + 32.0 * (double(kep.BeatRate) * (m + c.leadMs) - firstBeat)));
            if (x < 1 || x >= 973)
                continue;
            ++expected;
            const int at = loud(x) ? x : loud(x - 1) ? x - 1 : x + 1;
            ASSERT_TRUE(loud(at)) << "no peak at x " << x;
            // Tinted in both groups, each mirrored about its middle.
            const int y = wave[size_t(at)].top + 2;
            EXPECT_GT(pixel(key.lastImage(), at, y).green(), 0);
            EXPECT_EQ(pixel(key.lastImage(), at, y), pixel(key.lastImage(), at, 207 + y));
        }
        ASSERT_GT(expected, 0);
        int loudColumns = 0;
        for (int x = 0; x < 974; ++x)
            loudColumns += loud(x);
        EXPECT_LE(loudColumns, 2 * expected); // nothing loud away from the clicks
    }
}

TEST_F(SongGuidesTest, SongBeforeItsStartIsBlankAndNotYetDecodedIsAFlatLine)
{
    // 100 BPM, lead 300 ms: the song starts at chart time 300, x = 16 + 32 * 2 = 80; of
    // its 10 s the first 2 are decoded, up to chart time 2300 (x = 506).
    auto peaks = std::make_shared<WaveformPeaks>(2, Rate, int64_t(10 * Rate));
    const std::vector<int16_t> loud(size_t(4 * Rate), int16_t(30000));
    peaks->add(loud.data(), int64_t{2} * Rate);
    key.setGuides({true, peaks, 300.0});
    key.Render(0, -1, false);
    const std::vector<WaveColumn>& wave = key.lastWaveform();
    EXPECT_EQ(wave[78].bottom, wave[78].top);
    EXPECT_LT(wave[300].top, 40);
    EXPECT_EQ(wave[700].top, 94);
    EXPECT_EQ(wave[700].bottom, 95);
    EXPECT_EQ(pixel(key.lastImage(), 40, 94), DarkRed); // no line at x 40: the band
    EXPECT_NE(pixel(key.lastImage(), 700, 94), DarkRed);
    EXPECT_EQ(pixel(key.lastImage(), 700, 93), DarkRed);
}

TEST_F(SongGuidesTest, BeatAndMeasureLinesStartTheirCellsAndMeasuresAreNumberedFromOne)
{
    key.setGuides({true, nullptr, 0.0}); // a chart without music still has its lines
    key.Render(20, -1, false);           // first cell 13, ten pixels scrolled
    EXPECT_TRUE(key.lastWaveform().empty());
    // Cell c starts at x = 16 + 32 (c - 13) - 10: measures (two pixels, the start in the
    // middle) at cells 16 and 32, beats at 20, 24, 28, 36 and 40, over both bands.
    EXPECT_EQ(linesOf(Texture::MeasureLine), (std::vector<float>{101, 613}));
    EXPECT_EQ(linesOf(Texture::BeatLine),
              (std::vector<float>{230, 230, 358, 358, 486, 486, 742, 742, 870, 870}));
    const auto digits = [&](float x) {
        std::string text;
        for (const Quad& q : key.lastFrame())
            if (q.texture >= Texture::Digit0 && q.v[0].x >= x && q.v[0].x < x + 30)
                text += char('0' + int(q.texture) - int(Texture::Digit0));
        return text;
    };
    EXPECT_EQ(digits(105), "2");
    EXPECT_EQ(digits(617), "3");

    // Painted: lines lighter than the band, the number light on the black strip.
    const QImage& image = key.lastImage();
    for (const int x : {101, 102, 230, 614})
        EXPECT_GT(pixel(image, x, 30).green(), 0) << x;
    EXPECT_EQ(pixel(image, 231, 30), DarkRed);
    int lit = 0;
    for (int y = 189; y < 207; ++y)
        for (int x = 104; x < 116; ++x)
            lit += pixel(image, x, y).green() > 100;
    EXPECT_GT(lit, 5);
    for (int y = 189; y < 207; ++y)
        EXPECT_EQ(pixel(image, 300, y), Black) << y;

    // At 173 BPM from the start: measure 1 at the grid's edge, the next on cell 16.
    kep.setTempo(173);
    key.Render(0, -1, false);
    EXPECT_EQ(linesOf(Texture::MeasureLine), (std::vector<float>{15, 527}));
    EXPECT_EQ(digits(19), "1");
    EXPECT_EQ(digits(531), "2");
}

TEST_F(SongGuidesTest, TheCursorLineNeverCoversAMeasureNumber)
{
    key.setGuides({true, nullptr, 0.0});
    const auto digitSpan = [&] { // of measure 1, near the left edge
        float left = 1e9f, right = -1e9f;
        for (const Quad& q : key.lastFrame())
            if (q.texture >= Texture::Digit0 && q.v[0].x < 100) {
                left = std::min(left, q.v[0].x);
                right = std::max(right, q.v[1].x);
            }
        return std::make_pair(left, right);
    };
    key.Render(0, -1, false);
    EXPECT_EQ(digitSpan().first, 19.0f); // measure 1 right of its line at 16
    // Play starting, paused at the start, or the cursor placed just after cell 0's line: the
    // number moves clear of the cursor while it stands there.
    for (const int32_t curMs : {0, 28, 60, 120}) {
        SCOPED_TRACE(curMs);
        key.Render(0, curMs, false);
        const float line = 14.0f + float(double(kep.BeatRate) * curMs * 32.0);
        const auto [left, right] = digitSpan();
        EXPECT_TRUE(right <= line || left >= line + 4.0f) << left << ".." << right;
    }
}

TEST_F(SongGuidesTest, SwitchedOffTheFrameIsTheClassicFrameExactly)
{
    for (int c = 10; c < 60; c += 3)
        for (int r = 1; r <= 7; ++r)
            setKey(kep, c, r);
    host.drag = {200, 20, 500, 300, true, true};
    FakeHost classicHost;
    classicHost.drag = host.drag;
    ImageSurface classicSurface;
    TavixKey classic{kep, classicHost};
    classic.Initialise(classicSurface, kep.TotalBeats);
    classic.Render(20, 2300, false);

    key.setGuides({true, songWithClicks({2000.0, 3000.0}, 8000), 28.0});
    key.Render(20, 2300, false);
    ASSERT_NE(key.lastImage(), classic.lastImage());
    key.setGuides({false, songWithClicks({2000.0, 3000.0}, 8000), 28.0});
    key.Render(20, 2300, false);
    EXPECT_EQ(key.lastImage(), classic.lastImage());
    EXPECT_TRUE(key.lastWaveform().empty());
    ASSERT_EQ(key.lastFrame().size(), classic.lastFrame().size());
    for (size_t i = 0; i < classic.lastFrame().size(); ++i) {
        EXPECT_EQ(key.lastFrame()[i].texture, classic.lastFrame()[i].texture);
        for (size_t k = 0; k < 4; ++k) {
            const ScreenVertex& a = key.lastFrame()[i].v[k];
            const ScreenVertex& b = classic.lastFrame()[i].v[k];
            EXPECT_TRUE(a.x == b.x && a.y == b.y && a.rhw == b.rhw && a.color == b.color &&
                        a.tu == b.tu && a.tv == b.tv)
                << i << " " << k;
        }
    }
    EXPECT_EQ(key.SelectedKeys, classic.SelectedKeys);
}

} // namespace
