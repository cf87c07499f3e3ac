#include "RecoveryNote.h"

#include "Autosave.h"

#include <QDir>

namespace tavix {

RecoveryNote::RecoveryNote(const Autosave& autosave, QWidget* parent)
    : QLabel(parent), m_autosave(autosave)
{
    setObjectName(QStringLiteral("recoveryNote"));
    setText(tr("Recovery copies are failing: save the chart to keep your changes"));
    QFont font(QStringLiteral("Roboto Condensed"));
    font.setPointSizeF(10);
    font.setBold(true);
    setFont(font);
    setContentsMargins(6, 1, 6, 1);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(176, 24, 24));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    adjustSize();
    setVisible(false);
    connect(&autosave, &Autosave::failingChanged, this,
            [this](bool failing) { showState(failing); });
}

void RecoveryNote::showState(bool failing)
{
    setToolTip(failing ? tr("The chart cannot be kept for recovery in %1: %2.\nThe editor tries "
                            "again by itself; until it succeeds, a crash loses the changes "
                            "not saved.")
                             .arg(QDir::toNativeSeparators(m_autosave.files().dir()),
                                  m_autosave.lastError())
                       : QString());
    setVisible(failing);
    if (failing)
        raise();
}

} // namespace tavix
