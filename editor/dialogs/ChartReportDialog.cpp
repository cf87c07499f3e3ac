#include "ChartReportDialog.h"

#include "KeP.h"
#include "KeysPerMeasureGraph.h"

#include "CheckLimitsRow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

namespace tavix {

namespace {

int32_t measureOf(int32_t cell)
{
    return cell / ChartStats::CellsPerMeasure + 1;
}

QString cellsText(int32_t first, int32_t last)
{
    return first == last ? QObject::tr("cell %1").arg(first)
                         : QObject::tr("cells %1-%2").arg(first).arg(last);
}

QString keyedLengthText(const ChartStats& s)
{
    if (s.keys == 0)
        return QObject::tr("no keys");
    QString text =
        QObject::tr("%1 cells (%2)").arg(s.keyedCells).arg(cellsText(s.firstKeyed, s.lastKeyed));
    if (s.keyedMs > 0.0)
        text = QObject::tr("%1, %2").arg(KeP::MstoMin(std::llround(s.keyedMs)), text);
    return text;
}

QString rateText(const ChartStats& s)
{
    if (s.keys == 0)
        return QObject::tr("no keys");
    if (!(s.keyedMs > 0.0))
        return QObject::tr("no tempo");
    return QObject::tr("%1 on average, %2 in the densest %3 s (from measure %4)")
        .arg(s.keysPerSecond, 0, 'f', 2)
        .arg(s.densestKeysPerSecond, 0, 'f', 2)
        .arg(ChartStats::DensestWindowMs / 1000.0)
        .arg(measureOf(s.densestFirst));
}

QString longestRunText(const ChartStats& s)
{
    if (s.longestRun == 0)
        return QObject::tr("no keys");
    return QObject::tr("%1 cells, from cell %2 (measure %3)")
        .arg(s.longestRun)
        .arg(s.longestRunFirst)
        .arg(measureOf(s.longestRunFirst));
}

} // namespace

QString ChartReportDialog::findingLine(const CheckFinding& f)
{
    return tr("Measure %1 (%2): %3")
        .arg(measureOf(f.first))
        .arg(cellsText(f.first, f.last), f.message);
}

ChartReportDialog::ChartReportDialog(std::function<void(int32_t cell)> showCell, QWidget* parent)
    : QDialog(parent), m_showCell(std::move(showCell))
{
    setWindowTitle(tr("Chart report"));
    auto* layout = new QVBoxLayout(this);

    auto* figures = new QFormLayout;
    const char* const names[] = {
        QT_TR_NOOP("Keys:"),
        QT_TR_NOOP("Chords:"),
        QT_TR_NOOP("Confirm markers:"),
        QT_TR_NOOP("Keyed length:"),
        QT_TR_NOOP("Keys per second:"),
        QT_TR_NOOP("Longest stretch without a rest:"),
    };
    for (size_t i = 0; i < m_figures.size(); ++i) {
        m_figures[i] = new QLabel(this);
        m_figures[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        figures->addRow(tr(names[i]), m_figures[i]);
    }
    layout->addLayout(figures);

    layout->addWidget(new QLabel(tr("Keys per measure:"), this));
    m_graph = new KeysPerMeasureGraph(this);
    layout->addWidget(m_graph);

    m_findingsTitle = new QLabel(this);
    layout->addWidget(m_findingsTitle);
    m_findings = new QListWidget(this);
    m_findings->setMinimumWidth(560);
    connect(m_findings, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { chosen(item); });
    // Enter, and a double click on platforms that activate with it.
    connect(m_findings, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { chosen(item); });
    layout->addWidget(m_findings, 1);
    m_limits = new CheckLimitsRow(this);
    layout->addWidget(m_limits);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    // Enter on a finding shows it; it must not reach the button and close the dialog.
    buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void ChartReportDialog::setReport(const ChartStats& s, const std::vector<CheckFinding>& found)
{
    figure(Figure::Keys).setText(QString::number(s.keys));
    figure(Figure::Chords).setText(QString::number(s.chords));
    figure(Figure::Markers).setText(QString::number(s.markers));
    figure(Figure::KeyedLength).setText(keyedLengthText(s));
    figure(Figure::KeysPerSecond).setText(rateText(s));
    figure(Figure::LongestRun).setText(longestRunText(s));
    m_graph->setCounts(s.keysPerMeasure);

    m_findingsTitle->setText(found.empty()
                                 ? tr("Findings: none")
                                 : tr("Findings: %1 (click one to show it)").arg(found.size()));
    // The place in the list survives the edits, so Enter goes on down it.
    const int row = m_findings->currentRow();
    const int scrolled = m_findings->verticalScrollBar()->value();
    m_findings->clear();
    for (const CheckFinding& f : found) {
        auto* item = new QListWidgetItem(findingLine(f), m_findings);
        item->setData(Qt::UserRole, f.first);
    }
    if (row >= 0 && row < m_findings->count())
        m_findings->setCurrentRow(row);
    m_findings->verticalScrollBar()->setValue(scrolled);
}

void ChartReportDialog::chosen(const QListWidgetItem* item)
{
    if (item && m_showCell)
        m_showCell(item->data(Qt::UserRole).toInt());
}

} // namespace tavix
