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

QString dialogHelpPage(const QString &title)
{
    static const struct {
        const char *title;
        const char *page;
    } pages[] = {
        {"About Romwright", "about-box.html"},
        {"System Information", "about-box.html#sysinfo"},
        {"Choose Your Scanner", "choose-scanner.html"},
        {"Open", "firmware-files.html#open"},
        {"Unfinished Update", "messages.html#unfinished"},
        {"Firmware Check", "messages.html#firmware-check"},
        {"Update Running", "messages.html#update-running"},
        {"Power Cycle", "messages.html#power-cycle"},
        {"Scanner Not Found", "messages.html#no-scanner"},
        {"Serial Port Permission", "messages.html#permission"},
        {"Q or A?", "messages.html#wait-letter"},
        {"File Type Required", "messages.html#files"},
        {"Communications Failure", "messages.html#during-update"},
        {"Timeout Failure", "messages.html#during-update"},
    };
    for (const auto &entry : pages)
        if (title == QLatin1String(entry.title))
            return QString::fromLatin1(entry.page);
    return QStringLiteral("messages.html");
}

void viewHelpPage(HTMLHelp &help, const QString &programFolder, const QString &page, WindowHandle owner)
{
    help.setCHMFile(helpFilePath(programFolder));
    help.setHHTopicURL(page);
    help.setHHShowOnTop(owner != 0);
    help.HHDisplayContents(owner);
    help.HHDisplayTopicURL(owner);
}

void closeHelp(HTMLHelp &help)
{
    help.HHClose();
}

} // namespace romwright
