#include "ChartChecks.h"

#include "CellKeys.h"
#include "KeP.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tavix {

namespace {

// The keypad key of each key row, as the chart maker knows it.
constexpr char KeyNames[] = {'?', '7', '4', '1', '9', '6', '3'};

bool timed(const CellTiming& t)
{
    return t.beatRate > 0.0f && std::isfinite(t.beatRate) && std::isfinite(t.leadMs);
}

QString keysText(int64_t n)
{
    return n == 1 ? QStringLiteral("1 key") : QStringLiteral("%1 keys").arg(n);
}

QString number(double x, int decimals)
{
    return QString::number(x, 'f', decimals);
}

// A run of findings of one kind being gathered: the cells it spans and how many keys,
// values or markers it holds.
struct Gathered
{
    int32_t first = -1;
    int32_t last = -1;
    int64_t count = 0;

    bool open() const { return first >= 0; }
    void add(int32_t cell, int64_t n)
    {
        if (!open())
            first = cell;
        last = cell;
        count += n;
    }
};

// The keyed cells whose music instant passes `inside`, as one finding.
template <typename Inside>
std::optional<Gathered> keyedWhere(const KeP& kep, const CheckInput& in, Inside inside)
{
    const CellKeys keys = CellKeys::of(kep);
    Gathered g;
    for (size_t c = 0; c < keys.counts.size(); ++c)
        if (keys.counts[c] > 0 && inside(in.timing.cellMusicMs(int64_t(c))))
            g.add(int32_t(c), keys.counts[c]);
    if (!g.open())
        return std::nullopt;
    return g;
}

} // namespace

std::vector<CheckFinding> ChartChecks::all(const KeP& kep, const CheckInput& in)
{
    std::vector<CheckFinding> out;
    for (auto* part : {&afterSongEnd, &beforeMusicStart, &overSilence, &markersOffPattern,
                       &tooDense, &quickRepeats}) {
        auto found = part(kep, in);
        out.insert(out.end(), found.begin(), found.end());
    }
    const auto odd = oddGridValues(kep);
    out.insert(out.end(), odd.begin(), odd.end());
    std::stable_sort(out.begin(), out.end(), [](const CheckFinding& a, const CheckFinding& b) {
        return a.first != b.first ? a.first < b.first : a.kind < b.kind;
    });
    return out;
}

std::vector<CheckFinding> ChartChecks::afterSongEnd(const KeP& kep, const CheckInput& in)
{
    if (!in.songLenMs || !timed(in.timing))
        return {};
    const double end = *in.songLenMs;
    const auto g = keyedWhere(kep, in, [end](double ms) { return ms >= end; });
    if (!g)
        return {};
    return {{CheckKind::AfterSongEnd, g->first, g->last,
             QStringLiteral("%1 after the song ends at %2")
                 .arg(keysText(g->count), KeP::MstoMin(std::llround(end)))}};
}

std::vector<CheckFinding> ChartChecks::beforeMusicStart(const KeP& kep, const CheckInput& in)
{
    if (!timed(in.timing))
        return {};
    const auto g = keyedWhere(kep, in, [](double ms) { return ms < 0.0; });
    if (!g)
        return {};
    return {{CheckKind::BeforeMusicStart, g->first, g->last,
             QStringLiteral("%1 before the music starts, in the lead of %2 ms")
                 .arg(keysText(g->count), number(in.timing.leadMs, 0))}};
}

std::vector<CheckFinding> ChartChecks::overSilence(const KeP& kep, const CheckInput& in)
{
    if (!in.levels || !timed(in.timing) || !(in.levels->msPerPeak > 0.0))
        return {};
    const SongLevels& levels = *in.levels;
    const CheckThresholds& limits = in.limits;
    const auto count = int64_t(levels.peaks.size());

    // The silent stretches long enough to count, as [first, end) peak indices, and the
    // stretch each peak belongs to (-1 for none).
    struct Stretch
    {
        int64_t first;
        int64_t end;
    };
    std::vector<Stretch> stretches;
    std::vector<int32_t> stretchOf(size_t(count), -1);
    for (int64_t i = 0; i < count;) {
        if (!(levels.peaks[size_t(i)] < limits.silencePeak)) {
            ++i;
            continue;
        }
        int64_t end = i + 1;
        while (end < count && levels.peaks[size_t(end)] < limits.silencePeak)
            ++end;
        if (double(end - i) * levels.msPerPeak >= limits.silenceMinMs) {
            std::fill(stretchOf.begin() + i, stretchOf.begin() + end, int32_t(stretches.size()));
            stretches.push_back({i, end});
        }
        i = end;
    }

    std::vector<CheckFinding> out;
    const auto report = [&](const Gathered& g, int32_t stretch) {
        const Stretch& s = stretches[size_t(stretch)];
        out.push_back({CheckKind::OverSilence, g.first, g.last,
                       QStringLiteral("%1 where the song is silent (%2 s from %3)")
                           .arg(keysText(g.count),
                                number(double(s.end - s.first) * levels.msPerPeak / 1000.0, 1),
                                KeP::MstoMin(std::llround(double(s.first) * levels.msPerPeak)))});
    };
    const CellKeys keys = CellKeys::of(kep);
    Gathered g;
    int32_t current = -1;
    for (size_t c = 0; c < keys.counts.size(); ++c) {
        if (keys.counts[c] == 0)
            continue;
        const double ms = in.timing.cellMusicMs(int64_t(c));
        const double at = std::floor(ms / levels.msPerPeak);
        const int32_t stretch = at >= 0.0 && at < double(count) ? stretchOf[size_t(at)] : -1;
        if (stretch != current && g.open()) {
            report(g, current);
            g = {};
        }
        current = stretch;
        if (stretch >= 0)
            g.add(int32_t(c), keys.counts[c]);
    }
    if (g.open())
        report(g, current);
    return out;
}

std::vector<CheckFinding> ChartChecks::oddGridValues(const KeP& kep)
{
    std::vector<CheckFinding> out;
    const int32_t cells = kep.hasGrid() ? kep.TotalBeats : 0;
    Gathered g;
    int highest = 0;
    const auto report = [&] {
        out.push_back({CheckKind::OddGridValue, g.first, g.last,
                       QStringLiteral("%1 other than 0 and 1 (up to %2)")
                           .arg(g.count == 1 ? QStringLiteral("1 grid value")
                                             : QStringLiteral("%1 grid values").arg(g.count))
                           .arg(highest)});
        g = {};
        highest = 0;
    };
    const uint8_t* grid = kep.KeyGrid.data();
    for (int32_t c = 0; c < cells; ++c) {
        const uint8_t* cell = grid + KeP::flatIndex(c, 1);
        int odd = 0;
        int top = 0;
        for (int r = 0; r < KeP::RowsPerCell; ++r) {
            if (cell[r] > 1) {
                ++odd;
                top = std::max<int>(top, cell[r]);
            }
        }
        if (odd == 0)
            continue;
        if (g.open() && c != g.last + 1)
            report();
        g.add(c, odd);
        highest = std::max(highest, top);
    }
    if (g.open())
        report();
    return out;
}

std::vector<CheckFinding> ChartChecks::markersOffPattern(const KeP& kep, const CheckInput& in)
{
    const int32_t spacing = in.limits.markerSpacing;
    const int32_t cells = kep.hasGrid() ? kep.TotalBeats : 0;
    if (spacing < 2)
        return {};
    std::vector<int64_t> onPlace(size_t(spacing), 0);
    int64_t markers = 0;
    for (int32_t c = 0; c < cells; ++c) {
        if (kep.isSet(c, 7)) {
            ++onPlace[size_t(c % spacing)];
            ++markers;
        }
    }
    const auto most = std::max_element(onPlace.begin(), onPlace.end());
    if (markers == 0 || *most * 2 <= markers)
        return {};
    const auto place = int32_t(most - onPlace.begin());

    std::vector<CheckFinding> out;
    Gathered g;
    const auto report = [&] {
        out.push_back({CheckKind::MarkerOffPattern, g.first, g.last,
                       QStringLiteral("%1 off the every-%2-cells pattern of the others (cells "
                                      "%3, %4, %5, ...)")
                           .arg(g.count == 1 ? QStringLiteral("1 confirm marker")
                                             : QStringLiteral("%1 confirm markers").arg(g.count))
                           .arg(spacing)
                           .arg(place)
                           .arg(place + spacing)
                           .arg(place + 2 * spacing)});
        g = {};
    };
    for (int32_t c = 0; c < cells; ++c) {
        if (!kep.isSet(c, 7))
            continue;
        if (c % spacing != place)
            g.add(c, 1);
        else if (g.open())
            report();
    }
    if (g.open())
        report();
    return out;
}

std::vector<CheckFinding> ChartChecks::tooDense(const KeP& kep, const CheckInput& in)
{
    if (!timed(in.timing))
        return {};
    const float rate = in.timing.beatRate;
    const int32_t window = CellKeys::windowCells(in.limits.denseWindowMs, rate);
    if (window == 0)
        return {};
    const double seconds = double(window) / double(rate) / 1000.0;
    const double limit = in.limits.denseKeysPerSecond * seconds;
    const CellKeys keys = CellKeys::of(kep);
    const int32_t span = std::min<int32_t>(window, int32_t(keys.counts.size()));

    std::vector<CheckFinding> out;
    Gathered g;
    int32_t most = 0;
    const auto report = [&] {
        // The stretch as the keys in it span it, not as the windows did.
        while (keys.counts[size_t(g.first)] == 0)
            ++g.first;
        while (keys.counts[size_t(g.last)] == 0)
            --g.last;
        out.push_back({CheckKind::TooDense, g.first, g.last,
                       QStringLiteral("up to %1 in %2 s (%3 keys/s, limit %4)")
                           .arg(keysText(most), QString::number(in.limits.denseWindowMs / 1000.0),
                                number(double(most) / seconds, 1),
                                QString::number(in.limits.denseKeysPerSecond))});
        g = {};
        most = 0;
    };
    keys.forEachWindow(window, [&](int32_t first, int32_t n) {
        if (n == 0 || !(double(n) > limit))
            return;
        if (g.open() && first > g.last + 1)
            report();
        if (!g.open())
            g.first = first;
        g.last = first + span - 1;
        most = std::max(most, n);
    });
    if (g.open())
        report();
    return out;
}

std::vector<CheckFinding> ChartChecks::quickRepeats(const KeP& kep, const CheckInput& in)
{
    if (!timed(in.timing))
        return {};
    struct Repeat
    {
        int32_t first;
        int32_t last;
        int row;
        double gapMs;
    };
    std::vector<Repeat> repeats;
    std::array<int32_t, 7> lastOf;
    lastOf.fill(-1);
    const int32_t cells = kep.hasGrid() ? kep.TotalBeats : 0;
    const double rate = in.timing.beatRate;
    for (int32_t c = 0; c < cells; ++c) {
        for (int r = 1; r <= 6; ++r) {
            if (!kep.isSet(c, r))
                continue;
            const int32_t before = lastOf[size_t(r)];
            lastOf[size_t(r)] = c;
            if (before < 0)
                continue;
            const double gap = double(c - before) / rate;
            if (gap < in.limits.repeatMs)
                repeats.push_back({before, c, r, gap});
        }
    }
    // A pair over a longer gap may begin before a shorter one that was found first.
    std::stable_sort(repeats.begin(), repeats.end(),
                     [](const Repeat& a, const Repeat& b) { return a.first < b.first; });

    std::vector<CheckFinding> out;
    size_t i = 0;
    while (i < repeats.size()) {
        Repeat merged = repeats[i];
        unsigned rows = 1u << merged.row;
        for (++i; i < repeats.size() && repeats[i].first <= merged.last + 1; ++i) {
            merged.last = std::max(merged.last, repeats[i].last);
            merged.gapMs = std::min(merged.gapMs, repeats[i].gapMs);
            rows |= 1u << repeats[i].row;
        }
        QString names;
        for (int r = 1; r <= 6; ++r)
            if (rows & (1u << r))
                names +=
                    (names.isEmpty() ? QString() : QStringLiteral(", ")) + QLatin1Char(KeyNames[r]);
        const bool one = (rows & (rows - 1)) == 0;
        out.push_back({CheckKind::QuickRepeat, merged.first, merged.last,
                       QStringLiteral("%1 %2 again after %3%4 ms (limit %5 ms)")
                           .arg(one ? QStringLiteral("key") : QStringLiteral("keys"), names,
                                one ? QString() : QStringLiteral("as little as "),
                                number(merged.gapMs, 0), QString::number(in.limits.repeatMs))});
    }
    return out;
}

} // namespace tavix
