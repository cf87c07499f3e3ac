// The chart's editing interface: every write recorded as what it changed, and the record
// undone and redone exactly, checked against a plain model of whole grids.
#include "ChartEdit.h"
#include "ChartChange.h"
#include "KeP.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace tavix;

namespace {

using Grid = std::vector<uint8_t>;

// How many elements differ when both grids are seen zero-extended to the longer.
uint32_t differing(const Grid& a, const Grid& b)
{
    uint32_t n = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        n += (i < a.size() ? a[i] : 0) != (i < b.size() ? b[i] : 0);
    return n;
}

void expectChart(const KeP& kep, const Grid& model)
{
    ASSERT_EQ(kep.KeyGrid, model);
    EXPECT_EQ(kep.TotalBeats, model.empty() ? 0 : int32_t((model.size() - 1) / 7));
}

} // namespace

TEST(ChartEdit, MixedEditsUndoneAndRedoneMatchAPlainModel)
{
    std::mt19937 random(20240611);
    const auto pick = [&](int n) { return int(random() % uint32_t(n)); };
    const uint8_t values[] = {0, 1, 1, 1, 2, 255};

    KeP kep;
    std::vector<Grid> states{Grid{}}; // the model: the whole grid after each step
    std::vector<ChartChange> steps;
    size_t at = 0;
    for (int round = 0; round < 4000; ++round) {
        SCOPED_TRACE(round);
        const int action = pick(10);
        if (action < 6) {
            ChartEdit edit(kep);
            Grid model = states[at];
            for (int w = 1 + pick(6); w > 0; --w) {
                const int64_t size = int64_t(model.size());
                switch (pick(10)) {
                case 0:
                case 1:
                case 2: { // one element, sometimes outside the grid
                    const int64_t i = int64_t(pick(int(size) + 4)) - 2;
                    const uint8_t v = values[pick(6)];
                    const bool inside = i >= 0 && i < size;
                    EXPECT_EQ(edit.set(i, v), inside);
                    if (inside)
                        model[size_t(i)] = v;
                    break;
                }
                case 3: {
                    const int64_t i = int64_t(pick(int(size) + 2)) - 1;
                    const bool inside = i >= 0 && i < size;
                    EXPECT_EQ(edit.toggle(i), inside);
                    if (inside)
                        model[size_t(i)] = model[size_t(i)] == 1 ? 0 : 1;
                    break;
                }
                case 4:
                case 5: {
                    const int64_t cells = pick(50) == 0 ? -1 : pick(60);
                    EXPECT_EQ(edit.resizeCells(cells), cells >= 0);
                    if (cells >= 0)
                        model.resize(KeP::gridSize(cells), 0);
                    break;
                }
                case 6: {
                    const int64_t cell = pick(70) - 2;
                    const bool grows = cell >= kep.TotalBeats || !kep.hasGrid();
                    EXPECT_EQ(edit.growToHold(cell), cell >= 0);
                    if (cell >= 0 && grows)
                        model.resize(KeP::gridSize(std::max<int64_t>(cell + 1, kep.TotalBeats)), 0);
                    break;
                }
                case 7: { // a chart read from a file: mostly the same, some of it new
                    Grid read(pick(8) == 0 ? 0 : KeP::gridSize(pick(50)), 0);
                    for (size_t i = 0; i < read.size(); ++i)
                        read[i] = i < model.size() && pick(5) ? model[i] : values[pick(6)];
                    EXPECT_TRUE(edit.replaceGrid(read));
                    model = read;
                    break;
                }
                case 8: { // a stretch rewritten at once, sometimes reaching past the end
                    const int64_t first = pick(int(size) + 3) - 1;
                    Grid span(size_t(pick(40)));
                    for (size_t i = 0; i < span.size(); ++i)
                        span[i] = first + int64_t(i) < size && first >= 0 && pick(3)
                                      ? model[size_t(first) + i]
                                      : values[pick(6)];
                    const bool inside = first >= 0 && first + int64_t(span.size()) <= size;
                    EXPECT_EQ(edit.writeSpan(first, span), inside);
                    if (inside)
                        std::copy(span.begin(), span.end(), model.begin() + first);
                    break;
                }
                default:
                    edit.clearGrid();
                    model.clear();
                    break;
                }
            }
            ChartChange change = edit.take();
            expectChart(kep, model);
            // What the step holds is exactly the elements it changed, never more.
            EXPECT_EQ(change.elementCount(), differing(states[at], model));
            EXPECT_EQ(change.sizeBefore(), states[at].size());
            EXPECT_EQ(change.sizeAfter(), model.size());
            if (change.empty())
                continue;
            steps.resize(at);
            states.resize(at + 1);
            steps.push_back(std::move(change));
            states.push_back(std::move(model));
            ++at;
        } else if (action < 8) {
            if (at == 0)
                continue;
            ASSERT_TRUE(steps[at - 1].undo(kep));
            --at;
            expectChart(kep, states[at]);
        } else {
            if (at == steps.size())
                continue;
            ASSERT_TRUE(steps[at].redo(kep));
            ++at;
            expectChart(kep, states[at]);
        }
    }
    EXPECT_GT(steps.size(), 100u);
}

TEST(ChartEdit, AnEditKeptOpenStartsWhereTheOtherChangesLeftTheGrid)
{
    // Keys recorded through a whole playback run share one edit, taken now and then while
    // other changes (a tempo that grows the grid) are made between.
    KeP kep;
    ChartEdit run(kep);
    ChartEdit(kep).resizeCells(10);
    run.set(KeP::flatIndex(3, 2), 1);
    const ChartChange first = run.take();
    ChartEdit grow(kep);
    grow.resizeCells(20);
    const ChartChange grown = grow.take();
    run.set(KeP::flatIndex(15, 4), 1);
    run.set(KeP::flatIndex(4, 1), 1); // out of order: sorted when taken
    run.set(KeP::flatIndex(15, 4), 1);
    const ChartChange second = run.take();
    EXPECT_EQ(second.sizeBefore(), KeP::gridSize(20));
    EXPECT_EQ(second.elementCount(), 2u);

    const Grid after = kep.KeyGrid;
    ASSERT_TRUE(second.undo(kep));
    ASSERT_TRUE(grown.undo(kep));
    ASSERT_TRUE(first.undo(kep));
    EXPECT_EQ(kep.KeyGrid, Grid(KeP::gridSize(10), 0));
    // Out of turn, a step refuses and leaves the chart alone.
    EXPECT_FALSE(second.redo(kep));
    EXPECT_EQ(kep.TotalBeats, 10);
    ASSERT_TRUE(first.redo(kep));
    ASSERT_TRUE(grown.redo(kep));
    ASSERT_TRUE(second.redo(kep));
    EXPECT_EQ(kep.KeyGrid, after);
}

TEST(ChartEdit, RecordsAreTheSizeOfWhatChanged)
{
    KeP kep;
    ChartEdit(kep).resizeCells(100'000);
    // A toggle is kept in place; a resize that drops cells keeps only their keys.
    ChartEdit toggle(kep);
    toggle.toggle(KeP::flatIndex(99'999, 6));
    EXPECT_EQ(toggle.take().memoryBytes(), sizeof(ChartChange));

    ChartEdit keys(kep);
    for (int32_t c = 0; c < 100'000; ++c)
        keys.set(KeP::flatIndex(c, 1 + c % 6), 1);
    const ChartChange many = keys.take();
    EXPECT_EQ(many.elementCount(), 100'000u);
    // One byte an element: the steps between them are small and every difference is 1.
    EXPECT_LE(many.memoryBytes(), 100'000u + sizeof(ChartChange));

    ChartEdit cut(kep);
    cut.resizeCells(10);
    const ChartChange dropped = cut.take();
    EXPECT_EQ(dropped.elementCount(), 100'000u - 10u + 1u); // the toggled key too
    EXPECT_EQ(dropped.cellsBefore(), 100'000);
    EXPECT_EQ(dropped.cellsAfter(), 10);
    ASSERT_TRUE(dropped.undo(kep));
    EXPECT_EQ(kep.at(99'999, 6), 1);
    EXPECT_EQ(kep.at(99'999, 4), 1);
}
