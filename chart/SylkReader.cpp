#include "SylkReader.h"

#include "Rounding.h"
#include "SlkNumber.h"

#include <QFile>

#include <cstring>
#include <optional>
#include <vector>

namespace tavix {

namespace {

constexpr int KeyColumn = 6;
constexpr int ActionColumn = 5;
constexpr int PositionColumn = 4;
constexpr int FirstDataRow = 3;
constexpr int MarkerRow = 7;
constexpr qint64 ReadChunk = 1 << 20;
// Records are a few dozen bytes. A file with a longer line is no script, and is not held
// in memory to find out where such a line ends.
constexpr size_t MaxLineBytes = size_t(1) << 20;

// The row a key digit of the script sets: 7 4 1 9 6 3 are rows 1 to 6.
constexpr std::array<uint8_t, 256> makeDigitRows()
{
    std::array<uint8_t, 256> rows{};
    rows['7'] = 1;
    rows['4'] = 2;
    rows['1'] = 3;
    rows['9'] = 4;
    rows['6'] = 5;
    rows['3'] = 6;
    return rows;
}
constexpr std::array<uint8_t, 256> DigitRows = makeDigitRows();

// One to nine plain digits, the form of nearly every number in a script.
std::optional<int32_t> smallNumber(const char* p, const char* end)
{
    if (p == end || end - p > 9)
        return std::nullopt;
    int32_t v = 0;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return std::nullopt;
        v = v * 10 + (*p - '0');
    }
    return v;
}

const char* findLineEnd(const char* p, const char* end)
{
    while (p < end && *p != '\n' && *p != '\r')
        ++p;
    return p;
}

QString largestChartText()
{
    return QStringLiteral("the largest chart has %1 cells").arg(KeP::MaxCells);
}

} // namespace

SylkReader::SylkReader(const KeP& kep)
    : grid_(kep.KeyGrid.bytes()), cells_(kep.TotalBeats), importRow_(kep.ImportRow),
      importCol_(kep.ImportCol), importCell_(kep.ImportCell)
{
}

bool SylkReader::fail(const QString& why)
{
    failed_ = true;
    error_ = why;
    return false;
}

bool SylkReader::parseLine(QByteArrayView line)
{
    ++line_;
    if (ParseSlkLine(line))
        return true;
    errorLine_ = line_;
    return false;
}

bool SylkReader::feed(QByteArrayView bytes)
{
    if (failed_)
        return false;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    if (afterCr_ && p < end) {
        afterCr_ = false;
        if (*p == '\n')
            ++p;
    }
    while (p < end) {
        const char* e = findLineEnd(p, end);
        if (partial_.size() + size_t(e - p) > MaxLineBytes) {
            errorLine_ = ++line_;
            partial_.clear();
            return fail(QStringLiteral("a line longer than %1 bytes").arg(MaxLineBytes));
        }
        if (e == end) {
            partial_.append(p, size_t(end - p));
            break;
        }
        bool ok;
        if (partial_.empty()) {
            ok = parseLine(QByteArrayView(p, e - p));
        } else {
            partial_.append(p, size_t(e - p));
            ok = parseLine(QByteArrayView(partial_.data(), qsizetype(partial_.size())));
            partial_.clear();
        }
        if (!ok)
            return false;
        if (*e == '\r') {
            if (e + 1 == end)
                afterCr_ = true;
            else if (e[1] == '\n')
                ++e;
        }
        p = e + 1;
    }
    return true;
}

bool SylkReader::finish()
{
    if (failed_)
        return false;
    if (partial_.empty())
        return true;
    const bool ok = parseLine(QByteArrayView(partial_.data(), qsizetype(partial_.size())));
    partial_.clear();
    return ok;
}

bool SylkReader::ParseSlkLine(QByteArrayView line)
{
    if (failed_)
        return false;
    // Only "C" and "F" records, spelled exactly so, carry anything the chart needs.
    if (line.isEmpty() || (line[0] != 'C' && line[0] != 'F'))
        return true;
    if (line.size() > 1 && line[1] != ';')
        return true;

    if (line.size() < 3)
        return true; // no field, or one empty field

    // Fields are a few bytes long: a plain loop beats a library search here.
    const char* end = line.data() + line.size();
    for (const char* p = line.data() + 2;;) {
        const char* q = p;
        while (q < end && *q != ';')
            ++q;
        if (p < q) {
            switch (*p) {
            case 'X':
            case 'Y': {
                auto n = smallNumber(p + 1, q);
                if (!n)
                    n = nearestTo<int32_t>(
                        Internal::SlkNumber::leading(QByteArrayView(p + 1, q - p - 1)));
                if (!n)
                    return fail(QStringLiteral("the %1 number is beyond the 32-bit range")
                                    .arg(QLatin1Char(*p)));
                (*p == 'X' ? importCol_ : importRow_) = *n;
                break;
            }
            case 'K':
                if (!handleValue(QByteArrayView(p, q - p)))
                    return false;
                break;
            default:
                break;
            }
        }
        if (q == end)
            break;
        p = q + 1;
    }
    return true;
}

bool SylkReader::handleValue(QByteArrayView field)
{
    const QByteArrayView rest = field.sliced(1);
    const bool dataRow = importRow_ >= FirstDataRow;

    // A quoted text is never a number; the digits of positions and counts nearly always are
    // plain ones. Everything else goes through the general number test.
    std::optional<int32_t> n;
    bool numeric = false;
    if (rest.isEmpty() || rest[0] != '"') {
        n = smallNumber(rest.data(), rest.data() + rest.size());
        numeric = n.has_value();
        if (!numeric) {
            if (const auto value = Internal::SlkNumber::whole(rest)) {
                numeric = true;
                n = nearestTo<int32_t>(*value);
            }
        }
    }

    if (numeric) {
        if (dataRow && importCol_ == KeyColumn)
            return applyKeys(rest); // digits written without quotes
        if (!n)
            return fail(QStringLiteral("the number of a K field is beyond the 32-bit range"));
        if (dataRow && importCol_ == PositionColumn) {
            if (*n >= KeP::MaxCells)
                return fail(
                    QStringLiteral("position %1 is too large: %2").arg(*n).arg(largestChartText()));
            importCell_ = *n;
        }
        return true;
    }

    if (field.size() < 3)
        return fail(QStringLiteral("a K field holds neither a number nor a quoted text"));
    const QByteArrayView text = field.sliced(2, field.size() - 3);
    if (!dataRow)
        return true;
    if (importCol_ == KeyColumn)
        return applyKeys(text);
    if (importCol_ == ActionColumn) {
        if (!holdCell())
            return false;
        if (std::memchr(text.data(), 's', size_t(text.size())))
            grid_[size_t(KeP::flatIndex(importCell_, MarkerRow))] = 1;
    }
    return true;
}

bool SylkReader::holdCell()
{
    const int32_t cell = importCell_;
    if (cell < 0)
        return fail(QStringLiteral("negative position %1").arg(cell));
    if (cell < cells_)
        return true;
    if (cell >= KeP::MaxCells)
        return fail(
            QStringLiteral("position %1 is too large: %2").arg(cell).arg(largestChartText()));
    // Scripts grow the grid a row at a time.
    const size_t need = KeP::gridSize(int64_t(cell) + 1);
    KeP::reserveGrid(grid_, need);
    grid_.resize(need, 0);
    cells_ = cell + 1;
    return true;
}

bool SylkReader::applyKeys(QByteArrayView text)
{
    if (!holdCell())
        return false;
    uint8_t* cell = grid_.data() + KeP::flatIndex(importCell_, 0);
    for (const char c : text)
        if (const uint8_t row = DigitRows[uint8_t(c)])
            cell[row] = 1;
    return true;
}

bool SylkReader::commitTo(ChartEdit& edit)
{
    if (failed_)
        return false;
    // Growing a cell at a time leaves slack; a chart kept for a long edit should not.
    if (grid_.capacity() - grid_.size() > grid_.size() / 8)
        grid_.shrink_to_fit();
    edit.replaceGrid(std::move(grid_));
    KeP& kep = edit.chart();
    kep.ImportRow = importRow_;
    kep.ImportCol = importCol_;
    kep.ImportCell = importCell_;
    grid_.clear();
    cells_ = 0;
    failed_ = true; // spent: a second commit would hand out an empty grid
    error_ = QStringLiteral("the import was already committed");
    return true;
}

namespace {

ChartResult scriptFailure(const SylkReader& reader, const QString& path)
{
    return ChartResult::failure(
        ChartResult::Status::ScriptError,
        QStringLiteral("script error at line %1: %2").arg(reader.errorLine()).arg(reader.error()),
        path, reader.errorLine());
}

} // namespace

ChartResult SylkReader::importText(ChartEdit& edit, QByteArrayView text)
{
    SylkReader reader(edit.chart());
    if (!reader.feed(text) || !reader.finish())
        return scriptFailure(reader, {});
    reader.commitTo(edit);
    return ChartResult::success({});
}

ChartResult SylkReader::importFile(ChartEdit& edit, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return ChartResult::failure(ChartResult::Status::CannotOpen,
                                    QStringLiteral("cannot be opened: ") + file.errorString(),
                                    path);
    SylkReader reader(edit.chart());
    std::vector<char> chunk(static_cast<size_t>(ReadChunk));
    for (;;) {
        const qint64 got = file.read(chunk.data(), ReadChunk);
        if (got < 0)
            return ChartResult::failure(ChartResult::Status::CannotOpen,
                                        QStringLiteral("cannot be read: ") + file.errorString(),
                                        path);
        if (got == 0)
            break;
        if (!reader.feed(QByteArrayView(chunk.data(), got)))
            return scriptFailure(reader, path);
    }
    if (!reader.finish())
        return scriptFailure(reader, path);
    reader.commitTo(edit);
    return ChartResult::success(path);
}

} // namespace tavix
