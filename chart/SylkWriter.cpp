#include "SylkWriter.h"

#include "DeviceIo.h"
#include "SaveTarget.h"
#include "ScriptTemplates.h"

#include <array>
#include <cstring>

namespace tavix {

namespace {

constexpr int MarkerRow = 7;
constexpr std::array<char, 6> KeyDigits{'7', '4', '1', '9', '6', '3'};
constexpr char EndRecord[] = "E\r\n";

int decimalDigits(int64_t n)
{
    int d = 1;
    while (n >= 10) {
        n /= 10;
        ++d;
    }
    return d;
}

// Writes n (>= 0) in decimal at p; returns the position after it.
char* putNumber(char* p, int64_t n)
{
    char tmp[20];
    int len = 0;
    do {
        tmp[len++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0);
    while (len > 0)
        *p++ = tmp[--len];
    return p;
}

template <size_t N> char* putText(char* p, const char (&text)[N])
{
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

struct Templates
{
    QByteArray header;
    QByteArray title;
};

Templates templatesFor(const KeP& kep)
{
    Templates t{kep.HeaderTemplate, kep.TitleTemplate};
    if (t.header.isEmpty())
        t.header = builtInHeaderTemplate();
    if (t.title.isEmpty())
        t.title = builtInTitleTemplate();
    return t;
}

} // namespace

int32_t SylkWriter::finalCell(const KeP& kep)
{
    for (int32_t c = kep.TotalBeats - 1; c >= 0; --c)
        if (kep.isSet(c, MarkerRow))
            return c;
    return 0;
}

SylkWriter::Rows SylkWriter::dataRows(const KeP& kep)
{
    Rows rows;
    if (!kep.hasGrid() || kep.TotalBeats <= 0)
        return rows;
    const int32_t last = finalCell(kep);
    const uint8_t* grid = kep.KeyGrid.data();

    qsizetype written = 0;
    for (int32_t c = 0; c < kep.TotalBeats; ++c) {
        const uint8_t* cell = grid + KeP::flatIndex(c, 0);
        for (int r = 1; r <= MarkerRow; ++r)
            if (cell[r] == 1) {
                ++written;
                break;
            }
    }
    // Fixed parts of one row, plus its three numbers at their widest.
    constexpr qsizetype fixedPerRow = 67;
    const qsizetype widest = decimalDigits(int64_t(kep.TotalBeats) + 2);
    rows.text.resize(written * (fixedPerRow + 3 * widest));

    char* out = rows.text.data();
    int64_t sheetRow = 3;
    for (int32_t c = 0; c < kep.TotalBeats; ++c) {
        const uint8_t* cell = grid + KeP::flatIndex(c, 0);
        char keys[6];
        int keyCount = 0;
        for (int r = 1; r <= 6; ++r)
            if (cell[r] == 1)
                keys[keyCount++] = KeyDigits[size_t(r - 1)];
        const bool marker = cell[MarkerRow] == 1;
        if (keyCount == 0 && !marker)
            continue;

        const MeasurePos pos = KeP::measureOf(c);
        out = putText(out, "C;Y");
        out = putNumber(out, sheetRow);
        out = putText(out, ";X1;K");
        out = putNumber(out, pos.measure);
        out = putText(out, "\r\nC;X2;K");
        *out++ = char('0' + pos.beat);
        out = putText(out, "\r\nC;X3;K");
        *out++ = char('0' + pos.sixteenth);
        out = putText(out, "\r\nC;X4;K");
        out = putNumber(out, c);
        out = putText(out, "\r\nC;X5;K\"");
        if (keyCount > 0) {
            *out++ = 'n';
            if (marker)
                out = putText(out, ",s");
        } else {
            *out++ = 's';
        }
        if (c == last)
            out = putText(out, ",f");
        out = putText(out, "\"\r\nC;X6;K\"");
        std::memcpy(out, keys, size_t(keyCount));
        out += keyCount;
        out = putText(out, "\"\r\n");
        ++sheetRow;
    }
    rows.text.truncate(out - rows.text.constData());
    rows.sheetRows = int32_t(sheetRow - 1);
    return rows;
}

QByteArray SylkWriter::boundsRecord(int32_t sheetRows)
{
    return "B;Y" + QByteArray::number(sheetRows) + ";X6;D0 0 " + QByteArray::number(sheetRows - 1) +
           " 5\r\n";
}

QByteArray SylkWriter::script(const KeP& kep)
{
    const Rows rows = dataRows(kep);
    const Templates t = templatesFor(kep);
    QByteArray out;
    out.reserve(t.header.size() + 32 + t.title.size() + rows.text.size() + 3);
    out += t.header;
    out += boundsRecord(rows.sheetRows);
    out += t.title;
    out += rows.text;
    out += EndRecord;
    return out;
}

ChartResult SylkWriter::writeFile(const KeP& kep, const QString& path)
{
    // Everything is assembled before the disk is touched.
    const Rows rows = dataRows(kep);
    const Templates t = templatesFor(kep);
    const QByteArray bounds = boundsRecord(rows.sheetRows);

    SaveTarget file(path);
    if (!file.open())
        return ChartResult::failure(ChartResult::Status::WriteFailed,
                                    QStringLiteral("cannot be written: ") + file.errorString(),
                                    path);
    for (const QByteArray* part : {&t.header, &bounds, &t.title, &rows.text}) {
        if (!Internal::writeFully(file.device(), part->constData(), part->size())) {
            const QString why = file.errorString();
            file.cancel();
            return ChartResult::failure(ChartResult::Status::WriteFailed,
                                        QStringLiteral("cannot be written: ") + why, path);
        }
    }
    if (!Internal::writeFully(file.device(), EndRecord, 3) || !file.commit())
        return ChartResult::failure(ChartResult::Status::WriteFailed,
                                    QStringLiteral("cannot be written: ") + file.errorString(),
                                    path);
    return ChartResult::success(path);
}

} // namespace tavix
