#include "help/HelpMenu.h"

namespace romwright {

QString helpFilePath(const QString &programFolder)
{
    return joinPath(programFolder, QString::fromLatin1(kHelpFileName));
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
