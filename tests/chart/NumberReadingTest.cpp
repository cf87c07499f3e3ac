// How the tempo and offset texts read as numbers.
#include "NumberReading.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tavix;

// --- Number readings

TEST(LeadingNumber, ReadsWithPointWhateverTheText)
{
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("0.7")), 0.7);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("  1.4")), 1.4);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("-2.5abc")), -2.5);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("+3")), 3.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("1e2")), 100.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("1.5E-1x")), 0.15);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("7.")), 7.0);
}

TEST(LeadingNumber, StopsAtTheFirstOtherCharacter)
{
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("0,7")), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("1.2.3")), 1.2);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("2e")), 2.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("2e+")), 2.0);
}

TEST(LeadingNumber, BlanksCountForNothing)
{
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral(" 1 . 5 ")), 1.5);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("\t- 2")), -2.0);
}

TEST(LeadingNumber, NoNumberReadsZero)
{
    EXPECT_DOUBLE_EQ(leadingNumber(QString()), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("abc")), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("-")), 0.0);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral(".")), 0.0);
}

TEST(LeadingNumber, ExtremeExponents)
{
    EXPECT_EQ(leadingNumber(QStringLiteral("1e-999")), 0.0);
    EXPECT_TRUE(std::isinf(leadingNumber(QStringLiteral("1e999"))));
    EXPECT_TRUE(std::isinf(leadingNumber(QStringLiteral("-1e999"))));
}

TEST(LocaleNumber, FollowsTheLocaleRules)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(localeNumber(english, QStringLiteral("0.7")), 0.7);
    EXPECT_EQ(localeNumber(english, QStringLiteral(" 120 ")), 120.0);
    EXPECT_FALSE(localeNumber(english, QStringLiteral("0,7")));
    EXPECT_FALSE(localeNumber(english, QStringLiteral("abc")));
    EXPECT_FALSE(localeNumber(english, QString()));
    EXPECT_EQ(localeNumber(german, QStringLiteral("0,7")), 0.7);
    EXPECT_FALSE(localeNumber(german, QStringLiteral("0.7")));
}

TEST(OffsetTerm, IsSixThousandPerUnitBelowOnePointFour)
{
    EXPECT_NEAR(offsetTerm(0.7), 4200.0, 1e-9);
    EXPECT_NEAR(offsetTerm(1.4), 0.0, 1e-9);
    EXPECT_NEAR(offsetTerm(2.0), -3600.0, 1e-9);
    EXPECT_NEAR(offsetTerm(0.0), 8400.0, 1e-9);
}
