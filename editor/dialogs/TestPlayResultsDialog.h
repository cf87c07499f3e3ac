#pragma once

#include "Judgement.h"
#include "RunTally.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace tavix {

// What a test play came to: the count of each judgement, the accuracy, the longest combo,
// the mean error and its spread, a histogram of the errors, and the measures with the most
// misses (a click on one shows it). Where the mean error says the chart is off, it offers
// to move the offset by it. The windows for the next runs are set here too.
class TestPlayResultsDialog : public QDialog
{
    Q_OBJECT
public:
    struct Actions
    {
        std::function<void(int32_t measure)> showMeasure; // counted from 1
        std::function<void()> shiftOffset;
        std::function<void(const JudgeWindows&)> windowsChanged;
        std::function<void(bool)> stayWhereStoppedChanged;
        bool stayWhereStopped = false; // as the choice stands now
    };

    TestPlayResultsDialog(const RunTally& tally, const JudgeWindows& windows, Actions actions,
                          QWidget* parent = nullptr);

    // The figures as one text, for the summary line and for tests.
    static QString summary(const RunTally& tally);

    QPushButton& shiftButton() { return *m_shift; }
    QListWidget& measures() { return *m_measures; }
    QCheckBox& stayWhereStopped() { return *m_stay; }

private:
    void windowEdited();

    Actions m_actions;
    QPushButton* m_shift = nullptr;
    QListWidget* m_measures = nullptr;
    QCheckBox* m_stay = nullptr;
    std::array<QDoubleSpinBox*, 4> m_windows{};
};

} // namespace tavix
