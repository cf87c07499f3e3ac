#pragma once

#include "FileChooser.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace tavix {

class cCommonDialog;

// The work behind cCommonDialog: turns its properties into a chooser request, asks the
// chooser, and writes the answer (or the cleared state of a cancel) back.
class GCommonDialog
{
public:
    static constexpr uint32_t FlagReadOnly = 1;
    static constexpr uint32_t FlagOverwritePrompt = 2;
    static constexpr uint32_t FlagHideReadOnly = 4;
    static constexpr uint32_t FlagFileMustExist = 4096;
    static constexpr int32_t ErrorBase = 0x348A;
    // The error number of a cancel that the caller asked to see as a failure.
    static constexpr int32_t CancelErrorNumber = 32755;
    static constexpr int NameBufferSize = 260;

    explicit GCommonDialog(FileChooser& chooser);

    bool ShowOpen(cCommonDialog& dialog);
    bool ShowSave(cCommonDialog& dialog);

    // The filter text with every "|" and ":" replaced by NUL and two NULs appended, as the
    // chooser's list of parts is written.
    static QString nulSeparatedFilter(const QString& filter);
    // The parts of that list up to its first empty part.
    static QStringList filterParts(const QString& filter);
    // A pattern list such as "*.SLK;*.ZTS" as a Qt name filter's patterns, each letter
    // matching either case: "*.[sS][lL][kK] *.[zZ][tT][sS]".
    static QString caseInsensitivePatterns(const QString& patterns);
    static FileChooserRequest buildRequest(const cCommonDialog& dialog, bool save);
    // The name of a chosen file without its folder.
    static QString titleOf(const QString& path);

private:
    bool show(cCommonDialog& dialog, bool save);

    FileChooser& m_chooser;
};

} // namespace tavix
