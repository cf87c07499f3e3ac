#include "SlkNumber.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace tavix::Internal {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

struct Scanned
{
    double value = 0.0;
    const char* stop = nullptr; // first character after the number
};

// Reads one number at `p` (no blanks skipped); nullopt when no digit starts it.
std::optional<Scanned> scan(const char* p, const char* end)
{
    const char* q = p;
    bool negative = false;
    if (q < end && (*q == '+' || *q == '-')) {
        negative = *q == '-';
        ++q;
    }
    const char* mantissa = q;

    // Plain integers are nearly every number a script holds; keep them off the slow path.
    int64_t small = 0;
    int intDigits = 0;
    while (q < end && isDigit(*q)) {
        if (intDigits < 18)
            small = small * 10 + (*q - '0');
        ++intDigits;
        ++q;
    }
    int fracDigits = 0;
    const char* point = nullptr;
    if (q < end && *q == '.') {
        point = q;
        ++q;
        while (q < end && isDigit(*q)) {
            ++fracDigits;
            ++q;
        }
    }
    if (intDigits == 0 && fracDigits == 0)
        return std::nullopt;
    const char* mantissaEnd = q;

    int64_t exponent = 0;
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char* e = q + 1;
        bool expNegative = false;
        if (e < end && (*e == '+' || *e == '-')) {
            expNegative = *e == '-';
            ++e;
        }
        if (e < end && isDigit(*e)) {
            while (e < end && isDigit(*e)) {
                if (exponent < 1'000'000'000)
                    exponent = exponent * 10 + (*e - '0');
                ++e;
            }
            if (expNegative)
                exponent = -exponent;
            q = e;
        }
    }

    Scanned out;
    out.stop = q;
    if (!point && exponent == 0 && intDigits <= 18) {
        out.value = negative ? -double(small) : double(small);
        return out;
    }

    // Order of magnitude of the first significant digit: the value lies in
    // [10^(m-1), 10^m). Beyond the 32-bit range, or far below one half, the exact
    // digits no longer matter.
    const char* digit = mantissa;
    int64_t magnitude = intDigits;
    while (digit < mantissaEnd && (*digit == '0' || *digit == '.')) {
        if (*digit == '0')
            --magnitude;
        ++digit;
    }
    if (digit == mantissaEnd) {
        out.value = negative ? -0.0 : 0.0;
        return out;
    }
    if (point && digit > point)
        magnitude = -(digit - point - 1);
    magnitude += exponent;
    if (magnitude > 24) {
        const double inf = std::numeric_limits<double>::infinity();
        out.value = negative ? -inf : inf;
        return out;
    }
    if (magnitude < -24) {
        out.value = negative ? -0.0 : 0.0;
        return out;
    }
    double v = 0.0;
    const auto r = std::from_chars(mantissa, q, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != q)
        v = 0.0; // cannot happen for the checked magnitudes; keep a defined value
    out.value = negative ? -v : v;
    return out;
}

const char* skipBlanks(const char* p, const char* end)
{
    while (p < end && isBlank(*p))
        ++p;
    return p;
}

} // namespace

double SlkNumber::leading(QByteArrayView text)
{
    const char* end = text.data() + text.size();
    const auto s = scan(skipBlanks(text.data(), end), end);
    return s ? s->value : 0.0;
}

std::optional<double> SlkNumber::whole(QByteArrayView text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    // Plain short integers without blanks: answered without scanning twice.
    if (!text.isEmpty() && text.size() <= 9) {
        int32_t v = 0;
        const char* q = p;
        while (q < end && isDigit(*q)) {
            v = v * 10 + (*q - '0');
            ++q;
        }
        if (q == end)
            return double(v);
    }
    const auto s = scan(skipBlanks(p, end), end);
    if (!s || skipBlanks(s->stop, end) != end)
        return std::nullopt;
    return s->value;
}

} // namespace tavix::Internal
