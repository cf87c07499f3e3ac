#include "NumberReading.h"

#include "KeP.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace tavix {

std::optional<double> localeNumber(const QLocale& locale, const QString& text)
{
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<float> tempoRate(const QLocale& locale, const QString& text)
{
    const std::optional<double> bpm = localeNumber(locale, text);
    if (!bpm)
        return std::nullopt;
    const float rate = KeP::rateFromBpm(*bpm);
    if (!std::isfinite(rate))
        return std::nullopt;
    return rate;
}

std::optional<double> offsetTermOf(const QLocale& locale, const QString& text)
{
    if (!localeNumber(locale, text))
        return std::nullopt;
    const double term = offsetTerm(leadingNumber(text));
    if (!std::isfinite(term))
        return std::nullopt;
    return term;
}

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double leadingNumber(const QString& text)
{
    // Blanks count for nothing anywhere in the text, as in the reading the offset field
    // has always had; the rest is taken as far as it forms a number.
    QString s;
    s.reserve(text.size());
    for (QChar c : text)
        if (!isBlank(c))
            s.append(c);

    std::string taken;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        taken += char(s[i++].unicode());
    bool anyDigit = false;
    while (i < s.size() && isDigit(s[i])) {
        taken += char(s[i++].unicode());
        anyDigit = true;
    }
    if (i < s.size() && s[i] == u'.') {
        taken += '.';
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            taken += char(s[i++].unicode());
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0.0;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            exponent += char(s[j++].unicode());
        bool expDigit = false;
        while (j < s.size() && isDigit(s[j])) {
            exponent += char(s[j++].unicode());
            expDigit = true;
        }
        if (expDigit)
            taken += exponent;
    }
    // from_chars reads the C form whatever the process locale says.
    const bool negative = taken.front() == '-';
    const size_t from = (taken.front() == '+' || negative) ? 1 : 0;
    double value = 0.0;
    const auto result = std::from_chars(taken.data() + from, taken.data() + taken.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small reads as 0, too large as infinity.
        const bool tiny = taken.find("e-") != std::string::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

} // namespace tavix
