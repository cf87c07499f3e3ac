#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tavix {

// The value of a text by the locale's number rules (decimal separator and digit
// grouping), or nothing when the locale does not take it for a number.
std::optional<double> localeNumber(const QLocale& locale, const QString& text);

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
