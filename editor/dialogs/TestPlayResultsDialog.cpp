#include "TestPlayResultsDialog.h"

#include "ErrorHistogram.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavix {

namespace {

constexpr size_t MostMissedShown = 5;

} // namespace

QString TestPlayResultsDialog::summary(const RunTally& t)
{
    QStringList counts;
    for (int j = 0; j < JudgementCount; ++j)
        counts
            << QStringLiteral("%1 %2").arg(judgementName(Judgement(j))).arg(t.count(Judgement(j)));
    return QObject::tr("%1, extra presses %2. Accuracy %3%, longest combo %4. Mean error %5 ms "
                       "(early negative), spread %6 ms over %7 presses.")
        .arg(counts.join(QStringLiteral(", ")))
        .arg(t.extras())
        .arg(t.accuracyPercent(), 0, 'f', 2)
        .arg(t.longestCombo())
        .arg(t.meanErrorMs(), 0, 'f', 1)
        .arg(t.errorSpreadMs(), 0, 'f', 1)
        .arg(t.presses());
}

TestPlayResultsDialog::TestPlayResultsDialog(const RunTally& tally, const JudgeWindows& windows,
                                             Actions actions, QWidget* parent)
    : QDialog(parent), m_actions(std::move(actions))
{
    setWindowTitle(tr("Test play results"));
    auto* layout = new QVBoxLayout(this);

    auto* figures = new QFormLayout;
    for (int j = 0; j < JudgementCount; ++j)
        figures->addRow(judgementName(Judgement(j)) + QLatin1Char(':'),
                        new QLabel(QString::number(tally.count(Judgement(j))), this));
    figures->addRow(tr("Extra presses:"), new QLabel(QString::number(tally.extras()), this));
    figures->addRow(
        tr("Accuracy:"),
        new QLabel(QStringLiteral("%1%").arg(tally.accuracyPercent(), 0, 'f', 2), this));
    figures->addRow(tr("Longest combo:"), new QLabel(QString::number(tally.longestCombo()), this));
    figures->addRow(tr("Mean error:"), new QLabel(tr("%1 ms (early negative), spread %2 ms")
                                                      .arg(tally.meanErrorMs(), 0, 'f', 1)
                                                      .arg(tally.errorSpreadMs(), 0, 'f', 1),
                                                  this));
    layout->addLayout(figures);
    layout->addWidget(new ErrorHistogram(tally, this));

    layout->addWidget(new QLabel(tr("Measures with the most misses (click to show):"), this));
    m_measures = new QListWidget(this);
    m_measures->setMaximumHeight(100);
    for (const auto& [measure, misses] : tally.mostMissedMeasures(MostMissedShown)) {
        auto* item = new QListWidgetItem(tr("Measure %1: %2 missed").arg(measure).arg(misses));
        item->setData(Qt::UserRole, measure);
        m_measures->addItem(item);
    }
    connect(m_measures, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (m_actions.showMeasure)
            m_actions.showMeasure(item->data(Qt::UserRole).toInt());
    });
    layout->addWidget(m_measures);

    const double mean = tally.meanErrorMs();
    m_shift = new QPushButton(tr("Move the offset by %1 ms (every cell %2)")
                                  .arg(mean, 0, 'f', 1)
                                  .arg(mean > 0 ? tr("later") : tr("earlier")),
                              this);
    m_shift->setVisible(tally.offersShift());
    connect(m_shift, &QPushButton::clicked, this, [this] {
        m_shift->setEnabled(false);
        if (m_actions.shiftOffset)
            m_actions.shiftOffset();
    });
    layout->addWidget(m_shift);

    auto* windowRow = new QHBoxLayout;
    windowRow->addWidget(new QLabel(tr("Windows (ms):"), this));
    const std::array<double, 4> values{windows.perfectMs, windows.greatMs, windows.goodMs,
                                       windows.badMs};
    for (size_t i = 0; i < m_windows.size(); ++i) {
        m_windows[i] = new QDoubleSpinBox(this);
        m_windows[i]->setRange(1.0, 500.0);
        m_windows[i]->setDecimals(0);
        m_windows[i]->setValue(values[i]);
        m_windows[i]->setPrefix(judgementName(Judgement(i)) + QStringLiteral(" \u00b1"));
        connect(m_windows[i], &QDoubleSpinBox::editingFinished, this,
                &TestPlayResultsDialog::windowEdited);
        windowRow->addWidget(m_windows[i]);
    }
    layout->addLayout(windowRow);
    m_stay =
        new QCheckBox(tr("After a test play, keep the cursor and view where it stopped"), this);
    m_stay->setChecked(m_actions.stayWhereStopped);
    connect(m_stay, &QCheckBox::toggled, this, [this](bool on) {
        if (m_actions.stayWhereStoppedChanged)
            m_actions.stayWhereStoppedChanged(on);
    });
    layout->addWidget(m_stay);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void TestPlayResultsDialog::windowEdited()
{
    const JudgeWindows w{m_windows[0]->value(), m_windows[1]->value(), m_windows[2]->value(),
                         m_windows[3]->value()};
    // Windows that do not widen from Perfect to Bad are not taken.
    if (w.valid() && m_actions.windowsChanged)
        m_actions.windowsChanged(w);
}

} // namespace tavix
