#include "help/HelpMenu.h"

#include "platform/FileSystem.h"

#include <QDir>

namespace romwright {

QString helpFilePath(const QString &programFolder)
{
    return joinPath(programFolder, QString::fromLatin1(kHelpFileName));
}

QString helpFolder(const FileSystem &files, const QString &programFolder)
{
    if (programFolder.isEmpty() || files.fileExists(helpFilePath(programFolder)))
        return programFolder;
    const QString installed = QDir::cleanPath(joinPath(programFolder, QStringLiteral("../share/romwright")));
    return files.fileExists(helpFilePath(installed)) ? installed : programFolder;
}

void viewHelpFile(HTMLHelp &help, const QString &programFolder)
{
    help.setCHMFile(helpFilePath(programFolder));
    help.setHHTopicURL(QString::fromLatin1(kHelpStartPage));
    help.HHDisplayContents(0);
    help.HHDisplayTopicURL(0);
}

void closeHelp(HTMLHelp &help)
{
    help.HHClose();
}

} // namespace romwright
