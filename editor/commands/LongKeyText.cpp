#include "LongKeyText.h"

namespace tavix {

namespace {

const QString Header = QStringLiteral("ZTCR");

int64_t cellOf(int64_t index)
{
    return (index - 1) / KeP::RowsPerCell;
}

} // namespace

int64_t LongKeyText::classicLength(const SelectionList& keys)
{
    if (selectionCount(keys) < 1)
        return 0;
    const int64_t base = KeP::RowsPerCell * cellOf(keys[1]);
    int64_t length = Header.size() - 1; // "ZTC"
    for (size_t i = 1; i < keys.size(); ++i) {
        int64_t offset = int64_t(keys[i]) - base;
        int digits = 1;
        while (offset >= 10) {
            offset /= 10;
            ++digits;
        }
        length += 1 + digits;
    }
    return length;
}

QString LongKeyText::write(const SelectionList& keys)
{
    QString text = Header;
    text.reserve(int(std::min<size_t>(keys.size() * 4, size_t(1) << 28)));
    int64_t previous = -1;
    for (size_t i = 1; i < keys.size(); ++i) {
        const int64_t cell = cellOf(keys[i]);
        const int row = int(keys[i] - KeP::RowsPerCell * cell);
        if (cell != previous) {
            text += QLatin1Char(',');
            text += QString::number(previous < 0 ? 0 : cell - previous);
            text += QLatin1Char(':');
            previous = cell;
        }
        text += QLatin1Char(char('0' + row));
    }
    return text;
}

bool LongKeyText::isLongForm(const QString& text)
{
    return text.startsWith(Header + QLatin1Char(','));
}

std::optional<std::vector<int32_t>> LongKeyText::read(const QString& text)
{
    if (!isLongForm(text))
        return std::nullopt;
    std::vector<int32_t> offsets;
    const qsizetype n = text.size();
    qsizetype i = Header.size();
    int64_t cell = 0;
    // Piece by piece without splitting: a whole chart's text is megabytes.
    while (i < n) {
        if (text[i] != QLatin1Char(','))
            return std::nullopt;
        ++i;
        int64_t distance = 0;
        const qsizetype digitsFrom = i;
        for (; i < n && text[i].isDigit() && text[i].unicode() < 128; ++i) {
            distance = distance * 10 + (text[i].unicode() - '0');
            if (distance > KeP::MaxCells)
                return std::nullopt;
        }
        if (i == digitsFrom || i == n || text[i] != QLatin1Char(':'))
            return std::nullopt;
        ++i;
        cell += distance;
        if (cell > KeP::MaxCells)
            return std::nullopt;
        const qsizetype rowsFrom = i;
        for (; i < n && text[i] != QLatin1Char(','); ++i) {
            const char16_t row = text[i].unicode();
            if (row < u'1' || row > u'6')
                return std::nullopt;
            offsets.push_back(int32_t(KeP::RowsPerCell * cell + (row - u'0')));
        }
        if (i == rowsFrom)
            return std::nullopt;
    }
    if (offsets.empty())
        return std::nullopt;
    return offsets;
}

} // namespace tavix
