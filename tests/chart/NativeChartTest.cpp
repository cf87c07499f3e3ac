#include "ChartFile.h"
#include "ChartTestFiles.h"
#include "KeP.h"
#include "NativeChartReader.h"
#include "Unkept.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace tavix;
using namespace tavix::test;
using Status = ChartResult::Status;

namespace {

class NativeChart : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    // The chart every failed read must leave alone.
    static KeP sentinel()
    {
        KeP kep = chartWith(5, {{1, 1}, {4, 7}});
        ChartEdit(kep).set(0, 3);
        return kep;
    }
    static void expectSentinel(const KeP& kep)
    {
        EXPECT_EQ(kep.TotalBeats, 5);
        EXPECT_EQ(gridBytes(kep), gridBytes(sentinel()));
    }
};

} // namespace

TEST_F(NativeChart, ThreeCellChartIsTheFortySixByteGoldenFile)
{
    const KeP kep = chartWith(3, {{0, 1}, {0, 6}, {0, 7}, {2, 2}});
    const ChartResult r = SaveChart(kep, path("three"), 2);
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    EXPECT_EQ(r.path, path("three.zts"));
    const QByteArray bytes = readBytes(path("three.zts"));
    EXPECT_EQ(bytes.size(), 46);
    EXPECT_EQ(bytes.mid(20, 4), QByteArray("\x15\x00\x00\x00", 4));
    // Keys 7 and 3 and the confirm marker of cell 0.
    EXPECT_EQ(bytes.mid(25, 7), QByteArray("\x01\x00\x00\x00\x00\x01\x01", 7));
    EXPECT_EQ(bytes, readBytes(goldenPath("three-cells.zts")));
}

TEST_F(NativeChart, WorkedExampleMatchesItsGoldenFile)
{
    ASSERT_TRUE(SaveChart(workedExample(), path("worked.zts"), 1).ok()); // not script mode
    EXPECT_EQ(readBytes(path("worked.zts")), readBytes(goldenPath("worked-example.zts")));
}

TEST_F(NativeChart, ZeroCellChartIsTwentyFiveBytesAndReadsBackEmpty)
{
    KeP kep;
    ChartEdit(kep).resizeCells(0);
    ASSERT_TRUE(SaveChart(kep, path("none"), 2).ok());
    EXPECT_EQ(readBytes(path("none.zts")), readBytes(goldenPath("no-cells.zts")));
    KeP back = sentinel();
    ASSERT_TRUE(LoadChart(unkept(back), path("none.zts")).ok());
    EXPECT_EQ(back.TotalBeats, 0);
    EXPECT_EQ(back.KeyGrid.size(), 1u);
}

TEST_F(NativeChart, RoundTripKeepsForeignBytesAndElementZero)
{
    KeP kep;
    ChartEdit(kep).resizeCells(1000);
    for (size_t i = 0; i < kep.KeyGrid.size(); ++i)
        ChartEdit(kep).set(i, uint8_t(i * 37 + 11));
    ChartEdit(kep).set(0, 0xFF);
    ASSERT_TRUE(SaveChart(kep, path("foreign.zts"), 2).ok());
    KeP back;
    back.setTempo(123);
    ASSERT_TRUE(LoadChart(unkept(back), path("foreign.zts")).ok());
    EXPECT_EQ(back.TotalBeats, 1000);
    EXPECT_EQ(back.KeyGrid, kep.KeyGrid);
    EXPECT_EQ(back.BeatRate, KeP::rateFromBpm(123)); // the file carries no tempo
}

TEST_F(NativeChart, ExtensionIsAppendedUnlessPresentInAnyCase)
{
    const KeP kep = chartWith(1, {});
    EXPECT_EQ(SaveChart(kep, path("chart.ZTS"), 2).path, path("chart.ZTS"));
    EXPECT_EQ(SaveChart(kep, path("chart"), 2).path, path("chart.zts"));
    EXPECT_EQ(SaveChart(kep, path("chart.slk"), 2).path, path("chart.slk.zts"));
    for (const char* name : {"chart.ZTS", "chart.zts", "chart.slk.zts"})
        EXPECT_TRUE(QFileInfo::exists(path(name))) << name;
    EXPECT_FALSE(QFileInfo::exists(path("chart.slk")));
    EXPECT_EQ(withExtension(QStringLiteral("zts"), QLatin1StringView(".zts")),
              QStringLiteral("zts.zts"));
}

TEST_F(NativeChart, SavingOverALongerFileLeavesExactlyTheNewBytes)
{
    KeP big;
    ChartEdit(big).resizeCells(100);
    ASSERT_TRUE(SaveChart(big, path("c.zts"), 2).ok());
    ASSERT_EQ(readBytes(path("c.zts")).size(), 725);
    ASSERT_TRUE(SaveChart(chartWith(3, {}), path("c.zts"), 2).ok());
    EXPECT_EQ(readBytes(path("c.zts")).size(), 46);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("c.zts")});
}

TEST_F(NativeChart, NoGridMeansNothingToSaveAndNoFile)
{
    const KeP kep;
    const ChartResult r = SaveChart(kep, path("empty"), 2);
    EXPECT_EQ(r.status, Status::NoGrid);
    EXPECT_EQ(r.reason, QStringLiteral("nothing to save yet"));
    EXPECT_FALSE(QFileInfo::exists(path("empty.zts")));
}

TEST_F(NativeChart, UpperCaseExtensionIsReadAsNativeAndOtherNamesAsScripts)
{
    ASSERT_TRUE(SaveChart(workedExample(), path("CHART.ZTS"), 2).ok());
    KeP kep;
    ASSERT_TRUE(LoadChart(unkept(kep), path("CHART.ZTS")).ok());
    EXPECT_EQ(kep.TotalBeats, 22);
    EXPECT_EQ(kep.at(8, 7), 1);

    // chart.zts.bak is imported as a script: the native bytes hold no C or F record.
    QFile::copy(path("CHART.ZTS"), path("chart.zts.bak"));
    KeP asScript;
    ASSERT_TRUE(LoadChart(unkept(asScript), path("chart.zts.bak")).ok());
    EXPECT_FALSE(asScript.hasGrid());
}

TEST_F(NativeChart, WrongMagicIsNotAChartAndChangesNothing)
{
    writeBytes(
        path("lower.zts"),
        nativeFile(7, QByteArray(8, '\1')).replace("ZorvikTuneScribeFile", "zorviktunescribefile"));
    writeBytes(path("short.zts"), QByteArray("ZorvikTune"));
    writeBytes(path("empty.zts"), QByteArray());
    for (const char* name : {"lower.zts", "short.zts", "empty.zts"}) {
        KeP kep = sentinel();
        const ChartResult r = LoadChart(unkept(kep), path(name));
        EXPECT_EQ(r.status, Status::NotChart) << name;
        EXPECT_EQ(r.reason, QStringLiteral("not a chart file"));
        expectSentinel(kep);
    }
}

TEST_F(NativeChart, ImpossibleUpperIndexIsABadHeaderAndChangesNothing)
{
    const struct
    {
        int32_t upper;
        const char* reasonPart;
    } cases[] = {{-1, "negative upper index -1"},
                 {-2147483647 - 1, "negative"},
                 {7 * KeP::MaxCells + 1, "too large"},
                 {2147483647, "too large"}};
    for (const auto& c : cases) {
        writeBytes(path("bad.zts"), nativeFile(c.upper, QByteArray(64, '\1')));
        KeP kep = sentinel();
        const ChartResult r = LoadChart(unkept(kep), path("bad.zts"));
        EXPECT_EQ(r.status, Status::BadHeader) << c.upper;
        EXPECT_TRUE(r.reason.startsWith(QStringLiteral("bad header: "))) << c.upper;
        EXPECT_TRUE(r.reason.contains(QLatin1String(c.reasonPart))) << r.reason.toStdString();
        expectSentinel(kep);
    }
    writeBytes(path("cut.zts"), QByteArray("ZorvikTuneScribeFile\x07\x00", 22));
    KeP kep = sentinel();
    EXPECT_EQ(LoadChart(unkept(kep), path("cut.zts")).status, Status::BadHeader);
    expectSentinel(kep);
}

TEST_F(NativeChart, LargestChartIsAccepted)
{
    writeBytes(path("max.zts"), nativeFile(7 * KeP::MaxCells, QByteArray("\0\1", 2)));
    KeP kep;
    ASSERT_TRUE(LoadChart(unkept(kep), path("max.zts")).ok());
    EXPECT_EQ(kep.TotalBeats, KeP::MaxCells);
    EXPECT_EQ(kep.KeyGrid.size(), size_t(7) * KeP::MaxCells + 1);
    EXPECT_EQ(kep.KeyGrid[1], 1);
    EXPECT_EQ(kep.KeyGrid.back(), 0);
}

TEST_F(NativeChart, FileShorterThanItsHeaderLoadsWithZeros)
{
    writeBytes(path("short.zts"), nativeFile(21, QByteArray("\x05\x01\x02", 3)));
    KeP kep = sentinel();
    ASSERT_TRUE(LoadChart(unkept(kep), path("short.zts")).ok());
    EXPECT_EQ(kep.TotalBeats, 3);
    ASSERT_EQ(kep.KeyGrid.size(), 22u);
    EXPECT_EQ(kep.KeyGrid[0], 5);
    EXPECT_EQ(kep.KeyGrid[1], 1);
    EXPECT_EQ(kep.KeyGrid[2], 2);
    for (size_t i = 3; i < 22; ++i)
        EXPECT_EQ(kep.KeyGrid[i], 0) << i;
}

TEST_F(NativeChart, BytesAfterTheGridAreIgnored)
{
    writeBytes(path("long.zts"), nativeFile(7, QByteArray(20, '\1')));
    KeP kep;
    ASSERT_TRUE(LoadChart(unkept(kep), path("long.zts")).ok());
    EXPECT_EQ(kep.KeyGrid, std::vector<uint8_t>(8, 1));
}

TEST_F(NativeChart, UpperIndexOffTheCellsIsPaddedOrCutToWholeCells)
{
    // 10 / 7 is nearest 1: the grid is cut to one cell.
    QByteArray grid;
    for (int i = 0; i <= 10; ++i)
        grid.append(char(i + 1));
    writeBytes(path("cut.zts"), nativeFile(10, grid));
    KeP cut;
    ASSERT_TRUE(LoadChart(unkept(cut), path("cut.zts")).ok());
    EXPECT_EQ(cut.TotalBeats, 1);
    EXPECT_EQ(cut.KeyGrid, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));

    // 11 / 7 is nearest 2: the second cell is completed with zeros.
    grid.append(char(12));
    writeBytes(path("pad.zts"), nativeFile(11, grid));
    KeP pad;
    ASSERT_TRUE(LoadChart(unkept(pad), path("pad.zts")).ok());
    EXPECT_EQ(pad.TotalBeats, 2);
    ASSERT_EQ(pad.KeyGrid.size(), 15u);
    EXPECT_EQ(pad.KeyGrid[11], 12);
    EXPECT_EQ(pad.KeyGrid[12], 0);
    EXPECT_EQ(pad.KeyGrid[14], 0);

    // 3 / 7 is nearest 0: element 0 alone.
    writeBytes(path("none.zts"), nativeFile(3, QByteArray("\x09\x01\x01\x01", 4)));
    KeP none;
    ASSERT_TRUE(LoadChart(unkept(none), path("none.zts")).ok());
    EXPECT_EQ(none.TotalBeats, 0);
    EXPECT_EQ(none.KeyGrid, std::vector<uint8_t>{9});
}

TEST_F(NativeChart, MissingFileCannotBeOpenedWithTheSystemReason)
{
    KeP kep = sentinel();
    const ChartResult r = LoadChart(unkept(kep), path("missing.zts"));
    EXPECT_EQ(r.status, Status::CannotOpen);
    EXPECT_EQ(r.reason, QStringLiteral("cannot be opened: No such file or directory"));
    expectSentinel(kep);
}

TEST_F(NativeChart, ReadsFromAnyDevice)
{
    QByteArray bytes = readBytes(goldenPath("worked-example.zts"));
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    KeP kep;
    ASSERT_TRUE(NativeChartReader::read(unkept(kep), buffer).ok());
    EXPECT_EQ(kep.KeyGrid, workedExample().KeyGrid);
}

TEST_F(NativeChart, WriteIntoAMissingFolderFailsWithTheSystemReason)
{
    const ChartResult r = SaveChart(chartWith(3, {}), path("no/such/folder/c"), 2);
    EXPECT_EQ(r.status, Status::WriteFailed);
    EXPECT_TRUE(r.reason.startsWith(QStringLiteral("cannot be written: ")))
        << r.reason.toStdString();
    EXPECT_GT(r.reason.size(), 20);
}

TEST_F(NativeChart, FailedWriteLeavesTheOldFileAsItWas)
{
    ASSERT_TRUE(SaveChart(workedExample(), path("keep.zts"), 2).ok());
    const QByteArray before = readBytes(path("keep.zts"));

    // A file size limit makes the write of a large chart fail part way, as a full disk would.
    KeP big;
    ChartEdit(big).resizeCells(1'000'000);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ChartResult r = SaveChart(big, path("keep.zts"), 2);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(r.status, Status::WriteFailed);
    EXPECT_TRUE(r.reason.contains(QLatin1String("File too large"))) << r.reason.toStdString();
    EXPECT_EQ(readBytes(path("keep.zts")), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.zts")});
}
