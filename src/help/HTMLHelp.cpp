#include "help/HTMLHelp.h"

#include "help/HelpFilePaths.h"

#include <QStringList>

namespace romwright {

using namespace helppaths;

const QString HTMLHelp::kRegistrationKey = QStringLiteral("Software\\Microsoft\\Windows\\HTML Help");

namespace {

const QString kCaption = QStringLiteral("HTML Help Class");

} // namespace

HTMLHelp::HTMLHelp(HelpViewer &viewer, Dialogs &dialogs, Registry &registry, const FileSystem &files,
                   QString programFolder)
    : m_viewer(viewer), m_dialogs(dialogs), m_registry(registry), m_files(files),
      m_programFolder(std::move(programFolder))
{
}

void HTMLHelp::warn(const QString &text, MessageIcon icon) const
{
    m_dialogs.message(text, kCaption, icon);
}

bool HTMLHelp::checkHelpFile(QString &fileArgument)
{
    if (!endsWith(m_CHMFile, QLatin1StringView("chm"))) {
        warn(m_CHMFile + QStringLiteral(" is not a valid HTML Help file."), MessageIcon::Exclamation);
        return false;
    }
    if (!EnsureFileExists(m_CHMFile))
        return false;
    if (!m_viewer.helpFileIsSound(m_CHMFile)) {
        warn(QString::fromLatin1(kDamagedHelpFileMessage).arg(m_CHMFile), MessageIcon::Exclamation);
        return false;
    }
    fileArgument = m_CHMFile;
    if (!m_HHWindow.trimmed().isEmpty())
        fileArgument += QLatin1Char('>') + m_HHWindow;
    return true;
}

void HTMLHelp::display(WindowHandle callingForm, HelpCommand command, const HelpData &data, bool openFirst)
{
    QString file;
    if (!checkHelpFile(file))
        return;
    const WindowHandle owner = m_HHShowOnTop ? callingForm : 0;
    if (openFirst)
        m_viewer.htmlHelp(owner, file, HelpCommand::DisplayTopic, std::monostate{});
    m_HHWndHandle = m_viewer.htmlHelp(owner, file, command, data);
}

void HTMLHelp::HHDisplayTopicURL(WindowHandle callingForm)
{
    display(callingForm, HelpCommand::DisplayTopic, m_HHTopicURL);
}

void HTMLHelp::HHDisplayContents(WindowHandle callingForm)
{
    display(callingForm, HelpCommand::DisplayToc, std::monostate{});
}

void HTMLHelp::HHClose()
{
    m_viewer.htmlHelp(0, QString(), HelpCommand::CloseAll, std::monostate{});
}

bool HTMLHelp::EnsureFileExists(QString &fileToFind)
{
    if (lastSeparator(fileToFind) < 0) {
        HHCheckRegistry(fileToFind);
        if (m_HHRegFileName.compare(fileToFind, Qt::CaseInsensitive) == 0)
            fileToFind = joinPath(plainLongPath(m_HHRegFilePath), fileToFind);
        else
            fileToFind = joinPath(m_programFolder, fileToFind);
    }
    if (m_files.fileExists(fileToFind))
        return true;
    warn(QStringLiteral("The file ") + fileToFind + QStringLiteral(" does not exist.") + QLatin1Char('\n') +
             QStringLiteral("Please make sure the correct path and file name have been specified."),
         MessageIcon::Exclamation);
    return false;
}

} // namespace romwright
