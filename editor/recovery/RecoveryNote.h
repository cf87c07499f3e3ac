#pragma once

#include <QLabel>

namespace tavix {

class Autosave;

// The note that recovery copies are failing, shown from the first copy that cannot be
// written until one is; its tool tip says why and what to do meanwhile.
class RecoveryNote : public QLabel
{
    Q_OBJECT
public:
    RecoveryNote(const Autosave& autosave, QWidget* parent);

private:
    void showState(bool failing);

    const Autosave& m_autosave;
};

} // namespace tavix
