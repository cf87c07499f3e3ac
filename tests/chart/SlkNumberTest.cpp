#include "SlkNumber.h"

#include <gtest/gtest.h>

#include <cmath>

using tavix::Internal::SlkNumber;

TEST(SlkNumber, WholeAcceptsWhatAGeneralNumberTestAccepts)
{
    EXPECT_EQ(SlkNumber::whole("741"), 741.0);
    EXPECT_EQ(SlkNumber::whole("  12"), 12.0);
    EXPECT_EQ(SlkNumber::whole("12  "), 12.0);
    EXPECT_EQ(SlkNumber::whole("+5"), 5.0);
    EXPECT_EQ(SlkNumber::whole("-5"), -5.0);
    EXPECT_EQ(SlkNumber::whole("2.5"), 2.5);
    EXPECT_EQ(SlkNumber::whole(".5"), 0.5);
    EXPECT_EQ(SlkNumber::whole("5."), 5.0);
    EXPECT_EQ(SlkNumber::whole("1e3"), 1000.0);
    EXPECT_EQ(SlkNumber::whole("1.5E+2"), 150.0);
    EXPECT_EQ(SlkNumber::whole("25e-1"), 2.5);
    EXPECT_EQ(SlkNumber::whole("0000000000000000000042"), 42.0);
}

TEST(SlkNumber, WholeRejectsTextsAndPartialNumbers)
{
    for (const char* text : {"", " ", "\"741\"", "\"\"", "7 4 8", "12abc", "1e", "e5", ".", "+",
                             "-", "1.2.3", "--1", "0x10", "1,000", "n,s"})
        EXPECT_FALSE(SlkNumber::whole(text).has_value()) << text;
}

TEST(SlkNumber, HugeAndTinyMagnitudesStayDefined)
{
    EXPECT_EQ(SlkNumber::whole("1e400"), INFINITY);
    EXPECT_EQ(SlkNumber::whole("-1e400"), -INFINITY);
    EXPECT_EQ(SlkNumber::whole("99999999999999999999999999"), INFINITY);
    EXPECT_EQ(SlkNumber::whole("1e-400"), 0.0);
    EXPECT_EQ(SlkNumber::whole("1e99999999999999999999"), INFINITY);
    EXPECT_EQ(SlkNumber::whole("4294967296"), 4294967296.0);
    EXPECT_EQ(SlkNumber::whole("0.000000000000000000000000000000"), 0.0);
    const std::string longOne = "1" + std::string(300, '0') + "e-300";
    EXPECT_EQ(SlkNumber::whole(QByteArrayView(longOne.data(), qsizetype(longOne.size()))), 1.0);
}

TEST(SlkNumber, LeadingReadsTheNumberThatStartsTheText)
{
    EXPECT_EQ(SlkNumber::leading("3"), 3.0);
    EXPECT_EQ(SlkNumber::leading("12;"), 12.0);
    EXPECT_EQ(SlkNumber::leading(" 7abc"), 7.0);
    EXPECT_EQ(SlkNumber::leading("2.5x"), 2.5);
    EXPECT_EQ(SlkNumber::leading("1e2z"), 100.0);
    EXPECT_EQ(SlkNumber::leading("1ez"), 1.0);
    EXPECT_EQ(SlkNumber::leading("-4"), -4.0);
    EXPECT_EQ(SlkNumber::leading("abc"), 0.0);
    EXPECT_EQ(SlkNumber::leading(""), 0.0);
    EXPECT_EQ(SlkNumber::leading("9999999999"), 9999999999.0);
}
