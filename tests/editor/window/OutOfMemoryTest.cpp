// Files whose opening runs out of memory: a message naming the file, and nothing changed.
// This program's allocations can be made to fail above a size, as they would on a machine
// short of memory (the array forms of new and delete call these).
#include "EditingRig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Global by necessity: it is read by the global allocation functions below.
std::atomic<size_t> allocationLimit{0};

void* allocate(std::size_t size)
{
    const size_t limit = allocationLimit.load(std::memory_order_relaxed);
    if (limit != 0 && size >= limit)
        throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

struct LimitAllocations
{
    explicit LimitAllocations(size_t bytes) { allocationLimit = bytes; }
    ~LimitAllocations() { allocationLimit = 0; }
};

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace tavix;
using namespace tavix::test;

TEST(OutOfMemory, AChartOrASongThatExhaustsMemoryIsToldAndChangesNothing)
{
    // A header claiming the largest chart: its grid alone is 29 MB.
    QTemporaryDir dir;
    const QString chart = dir.filePath(QStringLiteral("huge.zts"));
    {
        QFile f(chart);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const uint32_t upper = uint32_t(KeP::MaxCells) * KeP::RowsPerCell;
        QByteArray header("ZorvikTuneScribeFile");
        for (int i = 0; i < 4; ++i)
            header.append(char((upper >> (8 * i)) & 0xFF));
        ASSERT_EQ(f.write(header), header.size());
    }
    EditingRig rig;
    rig.set(5, 1);
    const auto grid = rig.kep.KeyGrid;
    {
        LimitAllocations limit(16 << 20);
        rig.chooser.answerWith(chart);
        rig.ke.openChartCommand();
    }
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].warning);
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QDir::toNativeSeparators(chart)));
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("not enough memory")));
    EXPECT_EQ(rig.kep.KeyGrid, grid);
    EXPECT_TRUE(rig.ke.scriptFile().text().isEmpty());

    const StreamHandle music = rig.ke.state().MusicStream;
    rig.engine.exhaustsMemory = "/m/huge.ogg";
    rig.chooser.answerWith(QStringLiteral("/m/huge.ogg"));
    rig.ke.buttonClick(8);
    ASSERT_EQ(rig.messages.shown.size(), 2u);
    EXPECT_TRUE(rig.messages.shown[1].text.contains(QStringLiteral("\"huge.ogg\"")));
    EXPECT_TRUE(rig.messages.shown[1].text.contains(QStringLiteral("not enough memory")));
    EXPECT_EQ(rig.ke.state().MusicStream, music);
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("song.ogg"));
    EXPECT_EQ(rig.kep.KeyGrid, grid);
}
