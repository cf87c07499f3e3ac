#include "RunTally.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

constexpr std::array<double, JudgementCount> Weights{1.0, 0.75, 0.5, 0.25, 0.0};
constexpr int32_t CellsPerMeasure = 16;

} // namespace

void RunTally::add(const JudgeEvent& event)
{
    if (!event.judgement) {
        ++m_extras;
        return;
    }
    const Judgement j = *event.judgement;
    ++m_counts[size_t(j)];
    if (j == Judgement::Bad || j == Judgement::Miss)
        m_combo = 0;
    else
        m_longest = std::max(m_longest, ++m_combo);
    if (j == Judgement::Miss) {
        ++m_missesByMeasure[event.cell / CellsPerMeasure + 1];
        return;
    }
    ++m_errors;
    m_sum += event.errorMs;
    m_sumSquares += event.errorMs * event.errorMs;
    const int bin = int(std::floor((event.errorMs - HistogramFromMs) / HistogramBinMs));
    ++m_histogram[size_t(std::clamp(bin, 0, HistogramBins - 1))];
}

int RunTally::targets() const
{
    int n = 0;
    for (int c : m_counts)
        n += c;
    return n;
}

double RunTally::accuracyPercent() const
{
    const int n = targets();
    if (n == 0)
        return 0.0;
    double score = 0.0;
    for (size_t j = 0; j < m_counts.size(); ++j)
        score += Weights[j] * m_counts[j];
    return 100.0 * score / n;
}

double RunTally::meanErrorMs() const
{
    return m_errors > 0 ? m_sum / m_errors : 0.0;
}

double RunTally::errorSpreadMs() const
{
    if (m_errors < 2)
        return 0.0;
    const double mean = meanErrorMs();
    const double variance = (m_sumSquares - m_errors * mean * mean) / (m_errors - 1);
    return std::sqrt(std::max(variance, 0.0));
}

std::vector<std::pair<int32_t, int>> RunTally::mostMissedMeasures(size_t n) const
{
    std::vector<std::pair<int32_t, int>> measures(m_missesByMeasure.begin(),
                                                  m_missesByMeasure.end());
    std::stable_sort(measures.begin(), measures.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    if (measures.size() > n)
        measures.resize(n);
    return measures;
}

bool RunTally::offersShift() const
{
    return m_errors >= ShiftMinPresses && std::abs(meanErrorMs()) > ShiftMinMeanMs;
}

} // namespace tavix
