// The side file that keeps a chart's song, tempo and offset: its text and its two places.
#include "ChartSideFile.h"
#include "ChartTestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

TEST(ChartSideFile, AnyPathRoundTripsAndATempoFromAnotherLocaleReadsAsItsValue)
{
    ChartSideFile::Notes notes{QStringLiteral("/songs/a\\b\nc \u66f2.ogg"),
                               QStringLiteral("140,34"), 140.34, QStringLiteral("3.680")};
    QString chart;
    EXPECT_EQ(
        ChartSideFile::decode(ChartSideFile::encode(QStringLiteral("/c/x.zts"), notes), &chart),
        notes);
    EXPECT_EQ(chart, QStringLiteral("/c/x.zts"));
    EXPECT_EQ(notes.tempoTextIn(QLocale(QLocale::English)), QStringLiteral("140.34"));
    EXPECT_EQ(notes.tempoTextIn(QLocale(QLocale::German)), QStringLiteral("140,34"));
    EXPECT_FALSE(ChartSideFile::decode("tempo=99\n"));
}

TEST(ChartSideFile, GoesToTheUsersFolderWhereTheChartsCannotTakeItAndTheNewerIsRead)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("notes"));
    const QString chart = dir.filePath(QStringLiteral("later/c.zts"));
    ChartSideFile::Notes first{{}, QStringLiteral("120"), {}, {}};
    EXPECT_EQ(ChartSideFile::write(chart, first, folder),
              ChartSideFile::fallbackPath(chart, folder));
    EXPECT_EQ(ChartSideFile::read(chart, folder), first);
    EXPECT_FALSE(ChartSideFile::read(dir.filePath(QStringLiteral("other.zts")), folder));

    // Once the chart's folder takes it, the copy in the user's folder goes.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("later"))));
    ChartSideFile::Notes second{{}, QStringLiteral("130"), {}, {}};
    EXPECT_EQ(ChartSideFile::write(chart, second, folder), chart + QStringLiteral(".tavix"));
    EXPECT_FALSE(QFile::exists(ChartSideFile::fallbackPath(chart, folder)));
    EXPECT_EQ(ChartSideFile::read(chart, folder), second);
}
