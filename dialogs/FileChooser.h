#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

class QWidget;

namespace tavix {

// What the dialog service asks of a file chooser.
struct FileChooserRequest
{
    bool save = false;
    QWidget* owner = nullptr;
    QString title;
    QString initDir;
    QStringList descriptions; // one per filter pair
    QStringList patterns;     // "*.SLK;*.ZTS" as written, one per filter pair
    QStringList nameFilters;  // the same pairs as Qt name filters
    int filterIndex = 1;      // 1-based
    QString proposedName;
    QString defaultExt;
    bool confirmOverwrite = false; // save flag 2
    bool readOnlyChecked = false;  // open flag 1
    bool hideReadOnly = true;      // open flag 4; always for save
    bool fileMustExist = false;    // open flag 4096
};

struct FileChooserAnswer
{
    bool accepted = false;
    QString path;        // with its folder
    int filterIndex = 1; // 1-based pair the user had selected
    uint32_t flags = 0;
    uint32_t errorCode = 0; // non-zero when the chooser itself failed
};

// The chooser behind the dialog service: QFileDialog, or a fake in tests.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    virtual FileChooserAnswer choose(const FileChooserRequest& request) = 0;
};

} // namespace tavix
