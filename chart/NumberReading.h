#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tavix {

// The value of a text by the locale's number rules (decimal separator and digit
// grouping), or nothing when the locale does not take it for a number. Infinities, NaN
// and numbers too large for a double are not numbers here.
std::optional<double> localeNumber(const QLocale& locale, const QString& text);

// The grid rate of a tempo text, or nothing when the text is not a number or its rate is
// beyond single precision.
std::optional<float> tempoRate(const QLocale& locale, const QString& text);

// The offset term of an offset text: accepted by the locale's rules, read with "." as the
// decimal point. Nothing when the text is not accepted or the term is not finite.
std::optional<double> offsetTermOf(const QLocale& locale, const QString& text);

// The number at the start of a text read with "." as the decimal point whatever the
// locale: blanks are skipped, then an optional sign, digits with at most one ".", and an
// optional exponent; reading stops at the first other character. No number reads as 0.
double leadingNumber(const QString& text);

// The offset term of an offset value: 6000 per unit below 1.4.
inline double offsetTerm(double offset)
{
    return (1.4 - offset) * 6000.0;
}

} // namespace tavix
