#include "ChartFile.h"
#include "ChartTestFiles.h"
#include "KeP.h"
#include "SylkReader.h"
#include "SylkWriter.h"
#include "Unkept.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <random>

using namespace tavix;
using namespace tavix::test;
using Status = ChartResult::Status;

namespace {

ChartResult import(KeP& kep, const QByteArray& text)
{
    return SylkReader::importText(unkept(kep), text);
}

KeP emptyChart(int32_t cells)
{
    KeP kep;
    ChartEdit(kep).resizeCells(cells);
    return kep;
}

// The (cell, row) pairs set to 1, in grid order.
std::vector<std::pair<int32_t, int>> setRows(const KeP& kep)
{
    std::vector<std::pair<int32_t, int>> out;
    for (int32_t c = 0; c < kep.TotalBeats; ++c)
        for (int r = 1; r <= 7; ++r)
            if (kep.at(c, r) == 1)
                out.emplace_back(c, r);
    return out;
}

using Rows = std::vector<std::pair<int32_t, int>>;
const Rows WorkedRows{{4, 1}, {4, 3}, {8, 2}, {8, 4}, {8, 7}, {21, 7}};

} // namespace

TEST(SylkImport, WorkedExampleIntoAnEmptyChartOfFortyCells)
{
    KeP kep = emptyChart(40);
    const ChartResult r = LoadChart(unkept(kep), goldenPath("worked-example.slk"));
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    EXPECT_EQ(kep.TotalBeats, 40);
    EXPECT_EQ(setRows(kep), WorkedRows);
}

TEST(SylkImport, WorkedExampleGrowsAShortChartToTwentyTwoCells)
{
    KeP kep = emptyChart(10);
    ASSERT_TRUE(LoadChart(unkept(kep), goldenPath("worked-example.slk")).ok());
    EXPECT_EQ(kep.TotalBeats, 22);
    EXPECT_EQ(kep.upperIndex(), 154);
    EXPECT_EQ(setRows(kep), WorkedRows);
}

TEST(SylkImport, WorkedExampleWithoutAnyGridCreatesOne)
{
    KeP kep;
    ASSERT_TRUE(LoadChart(unkept(kep), goldenPath("worked-example.slk")).ok());
    EXPECT_EQ(kep.TotalBeats, 22);
    EXPECT_EQ(kep.KeyGrid, workedExample().KeyGrid);
}

TEST(SylkImport, OverlappingScriptMergesAndNeverClears)
{
    KeP kep = chartWith(30, {{4, 2}, {8, 1}, {25, 6}});
    ChartEdit(kep).set(KeP::flatIndex(4, 3), 2); // a foreign value becomes 1 when set
    ASSERT_TRUE(LoadChart(unkept(kep), goldenPath("worked-example.slk")).ok());
    EXPECT_EQ(setRows(kep),
              (Rows{{4, 1}, {4, 2}, {4, 3}, {8, 1}, {8, 2}, {8, 4}, {8, 7}, {21, 7}, {25, 6}}));
}

TEST(SylkImport, UnquotedDigitsAreAKeyText)
{
    KeP kep = emptyChart(10);
    ASSERT_TRUE(import(kep, "C;Y7;X4;K2\r\nC;Y7;X6;K741\r\n").ok());
    EXPECT_EQ(setRows(kep), (Rows{{2, 1}, {2, 2}, {2, 3}}));
}

TEST(SylkImport, ActionsWithALowerCaseSSetTheMarker)
{
    for (const char* action : {"n,s", "s", "s,f", "n,s,f"}) {
        KeP kep = emptyChart(10);
        ASSERT_TRUE(import(kep, QByteArray("C;Y3;X4;K5\r\nC;X5;K\"") + action + "\"\r\n").ok());
        EXPECT_EQ(setRows(kep), (Rows{{5, 7}})) << action;
    }
    for (const char* action : {"n", "n,f", "S", ""}) {
        KeP kep = emptyChart(10);
        ASSERT_TRUE(import(kep, QByteArray("C;Y3;X4;K5\r\nC;X5;K\"") + action + "\"\r\n").ok());
        EXPECT_TRUE(setRows(kep).empty()) << action;
    }
}

TEST(SylkImport, KeyTextIgnoresEverythingButTheSixKeyDigits)
{
    KeP kep = emptyChart(10);
    ASSERT_TRUE(import(kep, "C;Y3;X4;K1\r\nC;X6;K\"7 4 8\"\r\n").ok());
    EXPECT_EQ(setRows(kep), (Rows{{1, 1}, {1, 2}}));
    ASSERT_TRUE(import(kep, "C;Y3;X4;K2\r\nC;X6;K\"3,3,9 0a2\"\r\n").ok());
    EXPECT_EQ(setRows(kep), (Rows{{1, 1}, {1, 2}, {2, 4}, {2, 6}}));
    // Every ";" splits the record, inside quotes too: K"9 holds the empty text.
    ASSERT_TRUE(import(kep, "C;Y3;X4;K3\r\nC;X6;K\"9;4\"\r\n").ok());
    EXPECT_EQ(setRows(kep), (Rows{{1, 1}, {1, 2}, {2, 4}, {2, 6}}));
}

TEST(SylkImport, TitleAndTypeRowsChangeNothing)
{
    KeP kep = emptyChart(10);
    ASSERT_TRUE(import(kep, "C;Y1;X4;K3\r\nC;X6;K\"741\"\r\nC;Y2;X4;K\"5\"\r\nC;X5;K\"s\"\r\n"
                            "C;X6;K963\r\n")
                    .ok());
    EXPECT_TRUE(setRows(kep).empty());
    EXPECT_EQ(kep.ImportCell, 0);
    EXPECT_EQ(kep.TotalBeats, 10);
}

TEST(SylkImport, OnlyExactCAndFRecordsAreRead)
{
    KeP kep = emptyChart(10);
    ASSERT_TRUE(import(kep, " C;Y3;X4;K5\r\nc;Y3;X4;K6\r\nCC;Y3;X4;K7\r\n").ok());
    EXPECT_EQ(kep.ImportRow, 0);
    EXPECT_EQ(kep.ImportCell, 0);
    // An F record acts like a C record.
    ASSERT_TRUE(import(kep, "F;Y3;X4;K5\r\nF;X6;K\"9\"\r\n").ok());
    EXPECT_EQ(setRows(kep), (Rows{{5, 4}}));
}

TEST(SylkImport, EmptyFileImportsNothing)
{
    KeP kep = chartWith(3, {{1, 1}});
    kep.ImportRow = 4;
    ASSERT_TRUE(import(kep, "").ok());
    EXPECT_EQ(setRows(kep), (Rows{{1, 1}}));
    EXPECT_EQ(kep.ImportRow, 4);
    KeP none;
    ASSERT_TRUE(import(none, "").ok());
    EXPECT_FALSE(none.hasGrid());
}

TEST(SylkImport, PositionsBeyondSixteenBitsImport)
{
    KeP kep;
    ASSERT_TRUE(import(kep, "C;Y3;X4;K40000\r\nC;X5;K\"s\"\r\nC;X6;K\"3\"\r\n").ok());
    EXPECT_EQ(kep.TotalBeats, 40001);
    EXPECT_EQ(setRows(kep), (Rows{{40000, 6}, {40000, 7}}));
}

TEST(SylkImport, FortyThousandCellChartRoundTrips)
{
    KeP kep;
    ChartEdit(kep).resizeCells(40000);
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i)
        ChartEdit(kep).set(KeP::flatIndex(int32_t(random() % 40000), int(1 + random() % 7)), 1);
    ChartEdit(kep).set(KeP::flatIndex(39999, 2), 1);
    KeP back = emptyChart(40000);
    ASSERT_TRUE(import(back, SylkWriter::script(kep)).ok());
    EXPECT_EQ(back.KeyGrid, kep.KeyGrid);
}

TEST(SylkImport, ExportThenImportIntoAnEmptyChartReproducesIt)
{
    KeP kep = chartWith(64, {{0, 1}, {0, 6}, {15, 7}, {16, 2}, {31, 3}, {31, 4}, {31, 5}, {63, 7}});
    ChartEdit(kep).set(KeP::flatIndex(40, 2), 2); // foreign values do not travel
    KeP back = emptyChart(64);
    ASSERT_TRUE(import(back, SylkWriter::script(kep)).ok());
    EXPECT_EQ(setRows(back), setRows(kep));
    EXPECT_EQ(back.at(40, 2), 0);
}

TEST(SylkImport, RowsWithoutAPositionApplyToTheLastPositionRead)
{
    KeP kep = emptyChart(10);
    ASSERT_TRUE(import(kep, "C;Y3;X4;K6\r\nC;Y4;X6;K\"4\"\r\nC;X5;K\"s\"\r\n").ok());
    EXPECT_EQ(setRows(kep), (Rows{{6, 2}, {6, 7}}));
}

TEST(SylkImport, ParserStateCarriesOverToTheNextImport)
{
    KeP kep = emptyChart(10);
    ASSERT_TRUE(import(kep, "C;Y5;X4;K7\r\n").ok());
    EXPECT_EQ(kep.ImportRow, 5);
    EXPECT_EQ(kep.ImportCol, 4);
    EXPECT_EQ(kep.ImportCell, 7);
    ASSERT_TRUE(import(kep, "C;X6;K\"9\"\r\n").ok());
    EXPECT_EQ(setRows(kep), (Rows{{7, 4}}));
}

TEST(SylkImport, NumbersAreRoundedToNearestWithHalvesToEven)
{
    KeP kep = emptyChart(10);
    ASSERT_TRUE(import(kep, "C;Y2.5;X3.5;K2.5\r\n").ok());
    EXPECT_EQ(kep.ImportRow, 2);
    EXPECT_EQ(kep.ImportCol, 4);
    ASSERT_TRUE(
        import(kep, "C;Y3;X4;K2.5\r\nC;X6;K\"7\"\r\nC;X4;K 3.5e0 \r\nC;X6;K\"7\"\r\n").ok());
    EXPECT_EQ(setRows(kep), (Rows{{2, 1}, {4, 1}}));
    ASSERT_TRUE(import(kep, "C;Yabc;Xq\r\n").ok()); // no leading number reads as 0
    EXPECT_EQ(kep.ImportRow, 0);
    EXPECT_EQ(kep.ImportCol, 0);
}

TEST(SylkImport, EveryLineEndIsAccepted)
{
    const QByteArray crlf = readBytes(goldenPath("worked-example.slk"));
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    QByteArray cr = crlf;
    cr.replace("\r\n", "\r");
    QByteArray mixed = crlf;
    mixed.replace("K0\r\n", "K0\n").replace("K2\r\n", "K2\r");
    for (const QByteArray* text : std::array<const QByteArray*, 4>{&crlf, &lf, &cr, &mixed}) {
        KeP kep;
        ASSERT_TRUE(import(kep, *text).ok());
        EXPECT_EQ(setRows(kep), WorkedRows);
    }
    KeP unterminated;
    ASSERT_TRUE(import(unterminated, "C;Y3;X4;K2\r\nC;X6;K\"1\"").ok());
    EXPECT_EQ(setRows(unterminated), (Rows{{2, 3}}));
}

TEST(SylkImport, LinesSplitAcrossChunksReadTheSameAsWhole)
{
    const QByteArray text = readBytes(goldenPath("worked-example.slk")) + "C;Y9;X4;K30\r\r\n" +
                            "C;X6;K\"6\"\rC;Y3;X4;K-1\r\nC;X6;K\"";
    SylkReader whole{KeP()};
    ASSERT_TRUE(whole.feed(text));
    EXPECT_FALSE(whole.finish()); // the unfinished last line is a short K field
    const int64_t errorLine = whole.errorLine();
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        SylkReader split{KeP()};
        const bool fed = split.feed(QByteArrayView(text).first(cut)) &&
                         split.feed(QByteArrayView(text).sliced(cut));
        EXPECT_TRUE(fed) << cut;
        EXPECT_FALSE(split.finish()) << cut;
        EXPECT_EQ(split.errorLine(), errorLine) << cut;
    }
}

TEST(SylkImport, ImportThroughChunkedFileReadMatchesInMemoryImport)
{
    KeP source;
    ChartEdit(source).resizeCells(300'000); // a script of several read chunks
    for (int32_t c = 0; c < source.TotalBeats; c += 2)
        ChartEdit(source).set(KeP::flatIndex(c, 1 + c % 7), 1);
    const QByteArray script = SylkWriter::script(source);
    ASSERT_GT(script.size(), 3 << 20);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big.slk"));
    writeBytes(file, script);
    KeP fromFile = emptyChart(source.TotalBeats);
    ASSERT_TRUE(LoadChart(unkept(fromFile), file).ok());
    EXPECT_EQ(fromFile.KeyGrid, source.KeyGrid);
}

// Errors: the line and reason are reported, and chart and parser state stay as they were.
class SylkImportError : public ::testing::Test
{
protected:
    KeP before = [] {
        KeP kep = chartWith(12, {{3, 3}, {11, 7}});
        kep.ImportRow = 9;
        kep.ImportCol = 2;
        kep.ImportCell = 5;
        return kep;
    }();

    void expectStops(const QByteArray& text, int64_t line, const char* reasonPart)
    {
        KeP kep = before;
        const ChartResult r = import(kep, text);
        EXPECT_EQ(r.status, Status::ScriptError) << text.toStdString();
        EXPECT_EQ(r.line, line) << text.toStdString();
        EXPECT_TRUE(r.reason.startsWith(QStringLiteral("script error at line %1: ").arg(line)))
            << r.reason.toStdString();
        EXPECT_TRUE(r.reason.contains(QLatin1String(reasonPart))) << r.reason.toStdString();
        EXPECT_EQ(kep.KeyGrid, before.KeyGrid);
        EXPECT_EQ(kep.TotalBeats, before.TotalBeats);
        EXPECT_EQ(kep.ImportRow, before.ImportRow);
        EXPECT_EQ(kep.ImportCol, before.ImportCol);
        EXPECT_EQ(kep.ImportCell, before.ImportCell);
    }
};

TEST_F(SylkImportError, PositionAtOrBeyondTheLargestChart)
{
    expectStops("C;Y3;X4;K40\r\nC;X6;K\"7\"\r\nC;Y4;X4;K4194304\r\n", 3, "position 4194304");
    expectStops("C;Y3;X4;K1e12\r\n", 1, "32-bit");
}

TEST_F(SylkImportError, LargestPositionIsAccepted)
{
    KeP kep;
    ASSERT_TRUE(import(kep, "C;Y3;X4;K4194303\r\nC;X5;K\"s\"\r\n").ok());
    EXPECT_EQ(kep.TotalBeats, KeP::MaxCells);
    EXPECT_EQ(kep.at(KeP::MaxCells - 1, 7), 1);
}

TEST_F(SylkImportError, ColumnOrRowNumberBeyondThirtyTwoBits)
{
    expectStops("C;Y3;X4;K1\r\nC;X2147483648;K1\r\n", 2, "X number");
    expectStops("\r\nC;Y-2147483649;K1\r\n", 2, "Y number");
    expectStops("C;Y1e10\r\n", 1, "Y number");
}

TEST_F(SylkImportError, OtherNumericValuesBeyondThirtyTwoBits)
{
    expectStops("C;Y1;X1;K99999999999\r\n", 1, "32-bit");
    KeP kep = before;
    ASSERT_TRUE(import(kep, "C;Y1;X1;K2147483647\r\nC;Y3;X6;K99999999999\r\n").ok());
    EXPECT_EQ(kep.at(5, 4), 1); // a key text, however long
    EXPECT_EQ(kep.at(5, 1), 0);
}

TEST_F(SylkImportError, NegativePositionStopsWhenApplied)
{
    KeP kep = before;
    ASSERT_TRUE(import(kep, "C;Y3;X4;K-2\r\n").ok()); // nothing applied yet
    EXPECT_EQ(kep.ImportCell, -2);
    expectStops("C;Y3;X4;K-2\r\nC;X5;K\"n\"\r\n", 2, "negative position -2");
    expectStops("C;Y3;X4;K-1\r\nC;X6;K\"7\"\r\n", 2, "negative position -1");
    expectStops("C;Y3;X4;K-1\r\nC;X6;K7\r\n", 2, "negative position");
}

TEST_F(SylkImportError, ShortNonNumericKField)
{
    expectStops("C;Y3;X4;K2\r\nC;X6;K\"7\"\r\nC;K\r\n", 3, "neither a number nor a quoted text");
    expectStops("ID;P\r\nC;Y1;X1;Kx\r\n", 2, "K field");
    expectStops("F;K\"\r\n", 1, "K field");
}

TEST_F(SylkImportError, ErrorDiscardsTheCellsReadBeforeIt)
{
    expectStops(readBytes(goldenPath("worked-example.slk")) + "C;Y6;X4;K99999999\r\n", 107,
                "position 99999999");
}

TEST(SylkImport, ParseSlkLineTakesOneRecordAtATime)
{
    KeP kep = emptyChart(4);
    SylkReader reader(kep);
    EXPECT_TRUE(reader.ParseSlkLine("C;Y3;X4;K6"));
    EXPECT_TRUE(reader.ParseSlkLine("C;X6;K\"93\""));
    EXPECT_TRUE(reader.ParseSlkLine("C"));
    EXPECT_TRUE(reader.ParseSlkLine("F;"));
    EXPECT_TRUE(kep.KeyGrid == emptyChart(4).KeyGrid); // nothing reaches the chart yet
    ASSERT_TRUE(reader.commitTo(unkept(kep)));
    EXPECT_EQ(kep.TotalBeats, 7);
    EXPECT_EQ(setRows(kep), (Rows{{6, 4}, {6, 6}}));
    EXPECT_FALSE(reader.commitTo(unkept(kep))); // spent
    EXPECT_EQ(kep.TotalBeats, 7);
}

TEST(SylkImport, ReaderThatStoppedRefusesMoreLinesAndTheCommit)
{
    KeP kep = emptyChart(4);
    SylkReader reader(kep);
    EXPECT_FALSE(reader.ParseSlkLine("C;K"));
    EXPECT_TRUE(reader.failed());
    EXPECT_FALSE(reader.ParseSlkLine("C;Y3;X4;K1"));
    EXPECT_FALSE(reader.feed("C;Y3;X4;K1\r\n"));
    EXPECT_FALSE(reader.commitTo(unkept(kep)));
    EXPECT_EQ(kep.KeyGrid, emptyChart(4).KeyGrid);
}
