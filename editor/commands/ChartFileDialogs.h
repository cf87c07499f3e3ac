#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace tavix {

class cCommonDialog;

// The settings of the save and open dialogs of the chart commands.
namespace ChartFileDialogs {

inline constexpr uint32_t SaveFlags = 2;    // ask before replacing a file
inline constexpr uint32_t OpenFlags = 6144; // the folder and the file must exist

// The script first and the native file second in script mode; the native file alone
// otherwise, so that every name typed there saves a native file.
QString saveFilter(bool scriptMode);
QString openFilter();

void setUpSave(cCommonDialog& dialog, QWidget* owner, const QString& initDir, bool scriptMode);
void setUpOpen(cCommonDialog& dialog, QWidget* owner, const QString& initDir);

} // namespace ChartFileDialogs

} // namespace tavix
