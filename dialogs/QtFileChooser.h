#pragma once

#include "FileChooser.h"

namespace tavix {

// The file chooser of the running program: a QFileDialog, modal to the request's owner.
class QtFileChooser : public FileChooser
{
public:
    // useNativeDialog false keeps Qt's own dialog even where the desktop offers one
    // (tests drive that one).
    explicit QtFileChooser(bool useNativeDialog = true);

    // Blocks until the user closes the dialog. The request's owner must stay alive while
    // it runs; a null owner opens a free-standing dialog.
    FileChooserAnswer choose(const FileChooserRequest& request) override;

private:
    bool m_native;
};

} // namespace tavix
