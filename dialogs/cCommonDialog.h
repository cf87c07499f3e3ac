#pragma once

#include "FileChooser.h"

#include <QString>

#include <cstdint>

class QWidget;

namespace tavix {

// The open and save dialogs: callers set the properties, call ShowOpen or ShowSave and
// read the results back from the same object.
class cCommonDialog
{
public:
    explicit cCommonDialog(FileChooser& chooser);

    QString DialogTitle;
    bool CancelError = false;
    QWidget* hwnd = nullptr; // owner; null for none
    uint32_t flags = 0;
    QString InitDir;
    QString Filter;
    int32_t FilterIndex = 1;
    QString filename;
    QString FileTitle;
    QString DefaultExt;

    // False when the operation fails: a cancel with CancelError on, or a chooser error
    // (ErrorNumber then holds the code OR 0x348A). A cancel with CancelError off
    // returns true with the properties cleared.
    bool ShowOpen();
    bool ShowSave();

    bool Cancelled = false;
    int32_t ErrorNumber = 0;
    QString ErrorSource; // set with ErrorNumber: the program's name + ".cCommonDialog"

private:
    FileChooser& m_chooser;
};

} // namespace tavix
