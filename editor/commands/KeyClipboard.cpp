#include "KeyClipboard.h"

#include "NumberReading.h"
#include "Rounding.h"

namespace tavix {

namespace {

const QString Header = QStringLiteral("ZTC");

} // namespace

std::optional<QString> KeyClipboard::copyText(const SelectionList& selection)
{
    const int32_t n = selectionCount(selection);
    if (n < 1)
        return std::nullopt;
    // Offsets count from the start of the first key's cell, so the first lies in 1..6.
    const int64_t base = 7 * ((int64_t(selection[1]) - 1) / 7);
    QString text = Header;
    for (int32_t i = 1; i <= n; ++i) {
        text += QLatin1Char(',');
        text += QString::number(int64_t(selection[size_t(i)]) - base);
    }
    return text;
}

std::optional<std::vector<int32_t>> KeyClipboard::pasteOffsets(const QString& text)
{
    if (!text.startsWith(Header + QLatin1Char(',')))
        return std::nullopt;
    const QStringList pieces = text.mid(Header.size() + 1).split(QLatin1Char(','));
    std::vector<int32_t> offsets;
    offsets.reserve(size_t(pieces.size()));
    // Every piece is read before anything is written, so a piece out of range spoils the
    // whole paste rather than leaving half of it in the chart.
    for (const QString& piece : pieces) {
        const std::optional<int32_t> d = nearestTo<int32_t>(leadingNumber(piece));
        if (!d)
            return std::nullopt;
        offsets.push_back(*d);
    }
    return offsets;
}

std::optional<int64_t> KeyClipboard::pasteAnchor(float beatRate, int32_t cursorMs, int32_t pixOff)
{
    const double cells = double(beatRate) * (double(cursorMs) - double(pixOff));
    // Seven times a cell beyond 32 bits is further from the grid than any 32-bit offset.
    const std::optional<int32_t> cell = truncTo<int32_t>(cells);
    if (!cell)
        return std::nullopt;
    return int64_t(*cell) + 1;
}

int32_t KeyClipboard::paste(ChartEdit& edit, int64_t anchor, const std::vector<int32_t>& offsets)
{
    int32_t written = 0;
    for (const int32_t d : offsets) {
        if (!edit.set(KeP::flatIndex(anchor, 0) + d, 1))
            break; // outside the grid
        ++written;
    }
    return written;
}

void KeyClipboard::clear(ChartEdit& edit, const SelectionList& selection)
{
    const int32_t n = selectionCount(selection);
    for (int32_t i = 1; i <= n; ++i)
        if (!edit.set(selection[size_t(i)], 0))
            break; // outside the grid
}

} // namespace tavix
