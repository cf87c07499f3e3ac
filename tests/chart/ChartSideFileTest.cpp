// The side file that keeps a chart's song, tempo and offset: its text, and its two places.
#include "ChartSideFile.h"
#include "ChartTestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;
using Notes = ChartSideFile::Notes;

TEST(ChartSideFile, TextRoundTripsAnyPathAndSkipsWhatItDoesNotKnow)
{
    Notes notes;
    notes.songPath = QStringLiteral("/songs/a\\b\nc \u00e9\u66f2.ogg");
    notes.tempoText = QStringLiteral("140.34");
    notes.bpm = 140.34;
    notes.offsetText = QStringLiteral("3.680");
    const QByteArray text = ChartSideFile::encode(QStringLiteral("/charts/x.zts"), notes);
    EXPECT_TRUE(text.startsWith("TavixChartSide 1\nchart=/charts/x.zts\nsong=/songs/a\\\\b\\nc "));
    QString chart;
    EXPECT_EQ(ChartSideFile::decode(text, &chart), notes);
    EXPECT_EQ(chart, QStringLiteral("/charts/x.zts"));

    const auto later = ChartSideFile::decode("TavixChartSide 1\r\n# a note\r\ncolour=red\r\n"
                                             "tempo=99\r\n");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->tempoText, QStringLiteral("99"));
    EXPECT_TRUE(later->songPath.isEmpty());
    EXPECT_FALSE(ChartSideFile::decode("tempo=99\n"));
}

TEST(ChartSideFile, ATempoTypedInAnotherLocaleReadsAsItsValue)
{
    Notes notes;
    notes.tempoText = QStringLiteral("140,34"); // typed in German
    notes.bpm = 140.34;
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(notes.tempoTextIn(english), QStringLiteral("140.34"));
    EXPECT_EQ(notes.tempoTextIn(QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("140,34"));
    notes.bpm.reset();
    EXPECT_EQ(notes.tempoTextIn(english), QStringLiteral("140,34"));
}

TEST(ChartSideFile, GoesToTheUsersFolderWhereTheChartsCannotTakeItAndTheNewerIsRead)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("notes"));
    const QString chart = dir.filePath(QStringLiteral("not-yet/c.zts"));
    Notes first;
    first.tempoText = QStringLiteral("120");
    const auto written = ChartSideFile::write(chart, first, folder);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, ChartSideFile::fallbackPath(chart, folder));
    EXPECT_EQ(ChartSideFile::read(chart, folder), first);
    EXPECT_FALSE(ChartSideFile::read(chart, {}));
    // Another chart's name never reads it.
    EXPECT_FALSE(ChartSideFile::read(dir.filePath(QStringLiteral("other.zts")), folder));

    // Once the chart's folder takes it, the copy in the user's folder goes.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("not-yet"))));
    Notes second;
    second.tempoText = QStringLiteral("130");
    EXPECT_EQ(ChartSideFile::write(chart, second, folder), chart + QStringLiteral(".tavix"));
    EXPECT_FALSE(QFile::exists(ChartSideFile::fallbackPath(chart, folder)));
    EXPECT_EQ(ChartSideFile::read(chart, folder), second);

    // Nor is a file too large for a side file read.
    writeBytes(chart + QStringLiteral(".tavix"),
               "TavixChartSide 1\ntempo=1\n" + QByteArray(70 * 1024, '#'));
    EXPECT_FALSE(ChartSideFile::read(chart, folder));
}
