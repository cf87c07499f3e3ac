#pragma once

#include <QDir>
#include <QString>

namespace tavix {

// The folder the file dialogs open in. The program's own folder while a chart can be
// saved there (a build tree); an installed program lives in a system folder where every
// save fails, so then the dialogs start in the folder of the last chart or song opened or
// saved in this run, and before any in the user's home folder.
class DialogStartFolder
{
public:
    explicit DialogStartFolder(QString programDir, QString homeDir = QDir::homePath());

    QString current() const;
    // Takes the folder of a file just opened or saved.
    void remember(const QString& filePath);

private:
    QString m_programDir;
    QString m_homeDir;
    QString m_lastUsed;
};

} // namespace tavix
