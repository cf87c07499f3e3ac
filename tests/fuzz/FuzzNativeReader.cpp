// Feeds arbitrary bytes to the native chart reader. A read either fails and leaves the
// chart alone, or yields a consistent grid that holds the file's bytes; a read chart
// survives the script export and import.
#include "../chart/Unkept.h"
#include "ChartFile.h"
#include "FuzzCheck.h"
#include "KeP.h"
#include "NativeChartReader.h"
#include "SylkReader.h"
#include "SylkWriter.h"

#include <QBuffer>

#include <algorithm>
#include <cstdint>
#include <cstring>

using namespace tavix;
using tavix::test::unkept;
using namespace tavix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);

    KeP kep;
    ChartEdit(kep).resizeCells(2);
    ChartEdit(kep).set(3, 1);
    const std::vector<uint8_t> before = kep.KeyGrid;

    const ChartResult r = NativeChartReader::read(unkept(kep), buffer);
    checkInvariant(kep);
    if (!r.ok()) {
        check(kep.KeyGrid == before && kep.TotalBeats == 2, "a failed read changed the chart");
        check(!r.reason.isEmpty(), "a failure without a reason");
        return 0;
    }
    check(size >= 24, "a chart read from less than a header");
    const uint32_t upper = uint32_t(data[20]) | uint32_t(data[21]) << 8 | uint32_t(data[22]) << 16 |
                           uint32_t(data[23]) << 24;
    const size_t stored = std::min({size - 24, size_t(upper) + 1, kep.KeyGrid.size()});
    check(std::memcmp(kep.KeyGrid.data(), data + 24, stored) == 0,
          "grid bytes differ from the file");
    for (size_t i = stored; i < kep.KeyGrid.size(); ++i)
        check(kep.KeyGrid[i] == 0, "bytes the file lacks are not zero");

    if (kep.TotalBeats <= 20000) {
        // Only bytes equal to 1 travel through the script.
        KeP back;
        ChartEdit(back).resizeCells(kep.TotalBeats);
        check(SylkReader::importText(unkept(back), SylkWriter::script(kep)).ok(),
              "own export failed to import");
        checkInvariant(back);
        check(back.TotalBeats == kep.TotalBeats, "round trip changed the cell count");
        for (size_t i = 1; i < kep.KeyGrid.size(); ++i)
            check(back.KeyGrid[i] == (kep.KeyGrid[i] == 1 ? 1 : 0), "round trip changed a row");
    }
    return 0;
}
