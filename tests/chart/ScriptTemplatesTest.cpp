#include "ScriptTemplates.h"
#include "ChartTestFiles.h"
#include "KeP.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

using namespace tavix;

namespace {

// The two templates line by line, in code page 949; the Korean titles and the euro sign are
// written out as their bytes.
const char* const HeaderLines[] = {
    "ID;PWXL;N;E",
    "P;PGeneral",
    "P;P0",
    "P;P0.00",
    "P;P#,##0",
    "P;P#,##0.00",
    "P;P#,##0;;\\-#,##0",
    "P;P#,##0;;[Red]\\-#,##0",
    "P;P#,##0.00;;\\-#,##0.00",
    "P;P#,##0.00;;[Red]\\-#,##0.00",
    "P;P\"\\\"#,##0;;\\-\"\\\"#,##0",
    "P;P\"\\\"#,##0;;[Red]\\-\"\\\"#,##0",
    "P;P\"\\\"#,##0.00;;\\-\"\\\"#,##0.00",
    "P;P\"\\\"#,##0.00;;[Red]\\-\"\\\"#,##0.00",
    "P;P0%",
    "P;P0.00%",
    "P;P0.00E+00",
    "P;P##0.0E+0",
    "P;P#\\ ?/?",
    "P;P#\\ ?\?/?\?",
    "P;Pyyyy/mm/dd",
    "P;Pdd/mmm/yy",
    "P;Pdd/mmm",
    "P;Pmmm/yy",
    "P;Ph:mm\\ AM/PM",
    "P;Ph:mm:ss\\ AM/PM",
    "P;Ph:mm",
    "P;Ph:mm:ss",
    "P;Pyyyy/mm/dd\\ h:mm",
    "P;Pmm:ss",
    "P;Pmm:ss.0",
    "P;P@",
    "P;P[h]:mm:ss",
    "P;P_-\"\\\"* #,##0_-;;\\-\"\\\"* #,##0_-;;_-\"\\\"* \"-\"_-;;_-@_-",
    "P;P_-* #,##0_-;;\\-* #,##0_-;;_-* \"-\"_-;;_-@_-",
    "P;P_-\"\\\"* #,##0.00_-;;\\-\"\\\"* #,##0.00_-;;_-\"\\\"* \"-\"??_-;;_-@_-",
    "P;P_-* #,##0.00_-;;\\-* #,##0.00_-;;_-* \"-\"??_-;;_-@_-",
    "P;P\\$#,##0_);;\\(\\$#,##0\\)",
    "P;P\\$#,##0_);;[Red]\\(\\$#,##0\\)",
    "P;P\\$#,##0.00_);;\\(\\$#,##0.00\\)",
    "P;P\\$#,##0.00_);;[Red]\\(\\$#,##0.00\\)",
    "P;Pmm/dd/yy",
    "P;Pyyyy\"\xB3\xE2\"\\ mm\"\xBF\xF9\"\\ dd\"\xC0\xCF\"",
    "P;Ph\"\xBD\xC3\"\\ mm\"\xBA\xD0\"",
    "P;Ph\"\xBD\xC3\"\\ mm\"\xBA\xD0\"\\ ss\"\xC3\xCA\"",
    "P;Pyyyy\"\xD2\xB4\"\\ mm\"\xEA\xC5\"\\ dd\"\xEC\xED\"",
    "P;Pmm/dd",
    "P;Pyyyy\\/mm\\/dd",
    "P;Pyyyy/mm/dd",
    "P;Pmm\"\xBF\xF9\"\\ dd\"\xC0\xCF\"",
    "P;P[Red][=0]General",
    "P;P[Red][<>0]General",
    "P;P\"Yes\";;\"Yes\";;\"No\"",
    "P;P\"True\";;\"True\";;\"False\"",
    "P;P\"On\";;\"On\";;\"Off\"",
    "P;P[$\xA2\xE6-2]\\ #,##0.00_);;[Red]\\([$\xA2\xE6-2]\\ #,##0.00\\)",
    "P;F\xB5\xB8\xBF\xF2;M220",
    "P;F\xB5\xB8\xBF\xF2;M220",
    "P;F\xB5\xB8\xBF\xF2;M220",
    "P;F\xB5\xB8\xBF\xF2;M220",
    "P;E\xB5\xB8\xBF\xF2;M220",
    "P;E\xB5\xB8\xBF\xF2;M160",
    "P;E\xB5\xB8\xBF\xF2;M200",
    "F;P0;DG0G8;M270",
};

const char* const TitleLines[] = {
    "O;L;S;F;D;V0;K47;T0;G100 0.001",
    "F;W1 4 6",
    "F;W5 5 11",
    "F;P0;FG0C;SM7;C1",
    "F;P0;FG0C;SM7;C2",
    "F;P0;FG0C;SM7;C3",
    "F;P0;FG0C;SM7;C4",
    "F;P0;FG0C;SM7;C5",
    "F;P0;FG0C;SM7;C6",
    "C;Y1;X1;K\"\xB8\xB6\xB5\xF0\"",
    "C;X2;K\"\xB9\xDA(1/4)\"",
    "F;P48;FG0C;X3",
    "C;K\"1/16\"",
    "C;X4;K\"\xC0\xA7\xC4\xA1\"",
    "C;X5;K\"\xB5\xBF\xC0\xDB\"",
    "C;X6;K\"Key\"",
    "C;Y2;X1;K\"int\"",
    "C;X2;K\"int\"",
    "C;X3;K\"int\"",
    "C;X4;K\"int\"",
    "C;X5;K\"enum(n,s,f)\"",
    "C;X6;K\"string\"",
};

template <size_t N> QByteArray joined(const char* const (&lines)[N])
{
    QByteArray out;
    for (const char* line : lines)
        out += QByteArray(line) + "\r\n";
    return out;
}

} // namespace

TEST(ScriptTemplates, PinnedLinesHaveTheTableCounts)
{
    EXPECT_EQ(std::size(HeaderLines), 64u);
    EXPECT_EQ(std::size(TitleLines), 22u);
    EXPECT_EQ(joined(HeaderLines).size(), 1331);
    EXPECT_EQ(joined(TitleLines).size(), 354);
}

TEST(ScriptTemplates, BuiltInHeaderIsExactlyThePinnedBytes)
{
    const QByteArray header = builtInHeaderTemplate();
    EXPECT_EQ(header, joined(HeaderLines));
    EXPECT_EQ(QCryptographicHash::hash(header, QCryptographicHash::Sha256).toHex(),
              QByteArray("a805b622c6cbadb95ff898dd156f7db26721f77b293b57029a8a70841603361c"));
}

TEST(ScriptTemplates, BuiltInTitleIsExactlyThePinnedBytes)
{
    const QByteArray title = builtInTitleTemplate();
    EXPECT_EQ(title, joined(TitleLines));
    EXPECT_EQ(QCryptographicHash::hash(title, QCryptographicHash::Sha256).toHex(),
              QByteArray("9c1cfe0c61315000534c38acf383df220c78dee89fc57859e340888f0015ffbc"));
}

TEST(ScriptTemplates, KoreanTextsAndTheEuroSignAreCodePage949)
{
    const QByteArray header = builtInHeaderTemplate();
    EXPECT_TRUE(header.contains("P;F\xB5\xB8\xBF\xF2;M220\r\n"));       // dotum
    EXPECT_TRUE(header.contains("P;P[$\xA2\xE6-2]\\ #,##0.00_)"));      // euro
    EXPECT_TRUE(header.contains("P;P\"\\\"#,##0;;\\-\"\\\"#,##0\r\n")); // backslash is 0x5C
    const QByteArray title = builtInTitleTemplate();
    EXPECT_TRUE(title.contains("C;Y1;X1;K\"\xB8\xB6\xB5\xF0\"\r\n")); // measure
    EXPECT_TRUE(title.startsWith("O;L;S;F;D;V0;K47;T0;G100 0.001\r\n"));
    EXPECT_TRUE(title.endsWith("C;X6;K\"string\"\r\n"));
}

TEST(ScriptTemplates, EveryLineEndsInCrLf)
{
    for (const QByteArray& t : {builtInHeaderTemplate(), builtInTitleTemplate()}) {
        ASSERT_TRUE(t.endsWith("\r\n"));
        EXPECT_EQ(t.count('\n'), t.count("\r\n"));
        EXPECT_EQ(t.count('\r'), t.count("\r\n"));
    }
}

TEST(ScriptTemplates, LoadingPutsThemIntoTheChartValues)
{
    KeP kep;
    ASSERT_TRUE(loadScriptTemplates(kep));
    EXPECT_EQ(kep.HeaderTemplate, joined(HeaderLines));
    EXPECT_EQ(kep.TitleTemplate, joined(TitleLines));
}

TEST(ScriptTemplates, ResourceFilesInTheTreeMatchTheBuiltInOnes)
{
    EXPECT_EQ(test::readBytes(QStringLiteral(TAVIX_SOURCE_DIR "/resources/templates/DATA1")),
              builtInHeaderTemplate());
    EXPECT_EQ(test::readBytes(QStringLiteral(TAVIX_SOURCE_DIR "/resources/templates/DATA2")),
              builtInTitleTemplate());
}
