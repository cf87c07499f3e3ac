#include "cCommonDialog.h"

#include "GCommonDialog.h"

namespace tavix {

cCommonDialog::cCommonDialog(FileChooser& chooser) : m_chooser(chooser) {}

bool cCommonDialog::ShowOpen()
{
    return GCommonDialog(m_chooser).ShowOpen(*this);
}

bool cCommonDialog::ShowSave()
{
    return GCommonDialog(m_chooser).ShowSave(*this);
}

} // namespace tavix
