// Feeds arbitrary bytes to the SYLK script import. An import either fails, leaving grid and
// parser state as they were, or only sets rows and grows the grid. Splitting the bytes in
// two reads gives the same outcome as reading them whole.
#include "../chart/Unkept.h"
#include "ChartFile.h"
#include "FuzzCheck.h"
#include "KeP.h"
#include "SylkReader.h"

#include <algorithm>
#include <cstdint>

using namespace tavix;
using tavix::test::unkept;
using namespace tavix::fuzz;

namespace {

KeP startingChart(uint8_t kind)
{
    KeP kep;
    if (kind & 1) {
        ChartEdit(kep).resizeCells(kind % 37);
        for (size_t i = 0; i < kep.KeyGrid.size(); i += 3)
            ChartEdit(kep).set(i, uint8_t(i % 4)); // 0, 1 and foreign values
    }
    kep.ImportRow = kind & 2 ? 3 : 0;
    kep.ImportCol = kind & 4 ? 6 : 4;
    kep.ImportCell = kind & 8 ? -1 : kind % 5;
    return kep;
}

struct Outcome
{
    bool ok;
    int64_t line;
    KeP kep;
};

Outcome importSplit(const KeP& start, QByteArrayView text, qsizetype cut)
{
    Outcome o{false, 0, start};
    SylkReader reader(start);
    const bool fed = reader.feed(text.first(cut)) && reader.feed(text.sliced(cut));
    o.ok = fed && reader.finish();
    o.line = reader.errorLine();
    if (o.ok)
        check(reader.commitTo(unkept(o.kep)), "commit refused after a good read");
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t kind = data[0];
    const QByteArrayView text(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const KeP before = startingChart(kind);

    KeP kep = before;
    const ChartResult r = SylkReader::importText(unkept(kep), text);
    checkInvariant(kep);
    if (!r.ok()) {
        check(r.status == ChartResult::Status::ScriptError && r.line >= 1, "error without a line");
        check(kep.KeyGrid == before.KeyGrid && kep.TotalBeats == before.TotalBeats,
              "a failed import changed the grid");
        check(kep.ImportRow == before.ImportRow && kep.ImportCol == before.ImportCol &&
                  kep.ImportCell == before.ImportCell,
              "a failed import changed the parser state");
    } else {
        check(kep.TotalBeats >= before.TotalBeats, "the import shrank the grid");
        for (size_t i = 0; i < before.KeyGrid.size(); ++i)
            check(kep.KeyGrid[i] == before.KeyGrid[i] || kep.KeyGrid[i] == 1,
                  "the import cleared or changed a row other than setting it");
        // Grown bytes are 0 or 1. Grids reach 28 MiB, and scanning them all under the
        // sanitizers would starve the search; the last MiB holds the cell that grew them.
        const size_t tail =
            std::max(before.KeyGrid.size(),
                     kep.KeyGrid.size() - std::min<size_t>(kep.KeyGrid.size(), 1u << 20));
        for (size_t i = tail; i < kep.KeyGrid.size(); ++i)
            check(kep.KeyGrid[i] <= 1, "the import wrote a value other than 1");
    }

    // Grids of many MiB are checked once; the split read is for the line handling.
    if (kep.KeyGrid.size() > (1u << 20))
        return 0;
    const qsizetype cut = text.isEmpty() ? 0 : qsizetype(kind) * 131 % (text.size() + 1);
    const Outcome split = importSplit(before, text, cut);
    check(split.ok == r.ok(), "a split read ended differently");
    check(split.ok || split.line == r.line, "a split read stopped at another line");
    check(split.kep.KeyGrid == kep.KeyGrid && split.kep.ImportCell == kep.ImportCell &&
              split.kep.ImportRow == kep.ImportRow && split.kep.ImportCol == kep.ImportCol,
          "a split read gave another chart");
    return 0;
}
