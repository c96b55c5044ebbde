#include "app/window/FindFile.h"

#include "app/update/UpdateInputs.h"
#include "family/ScannerFamilies.h"
#include "image/FileOpen.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace romwright {

QString firmwareFilter(const ScannerFamily *family, bool bBarCodeProcessor)
{
    if (!family)
        return QString();
    // The extension of the first releases for the chosen processor, or for any.
    const Processor chosen = bBarCodeProcessor ? Processor::BarCode : Processor::Main;
    std::string_view extension;
    for (const ReleaseLine &line : family->releases)
        if (extension.empty() && (line.processor == Processor::Any || line.processor == chosen))
            extension = line.runs[0].extension;
    return QStringLiteral("%1 Firmware Files|%2*%3")
        .arg(latin1(family->family), QString(QLatin1Char(family->shown[0])), latin1(extension).toUpper());
}

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

bool hiddenFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    // The application data folders, whatever their attributes say.
    const QString clean = QDir::cleanPath(folder);
    for (const char *variable : {"LOCALAPPDATA", "APPDATA"}) {
        const QString data = QDir::cleanPath(qEnvironmentVariable(variable));
        if (!data.isEmpty() && (clean.compare(data, Qt::CaseInsensitive) == 0 ||
                                clean.startsWith(data + QLatin1Char('/'), Qt::CaseInsensitive)))
            return true;
    }
#endif
    // Each folder up to the root, which may carry the hidden mark on Windows
    // and is hidden from no one.
    QString path = QDir(folder).absolutePath();
    while (!QDir(path).isRoot()) {
        if (QFileInfo(path).isHidden())
            return true;
        const QString up = QDir::cleanPath(path + QStringLiteral("/.."));
        if (up == path)
            break;
        path = up;
    }
    return false;
}

QString openDialogFolder(const FindFileContext &context)
{
    QStringList candidates;
    if (!context.currentFile.isEmpty())
        candidates << QFileInfo(context.currentFile).absolutePath();
    if (context.registry)
        if (const auto last = context.registry->value(
                RegistryRoot::CurrentUser, QLatin1String(kOpenDialogKey), QLatin1String(kLastFolderValue)))
            candidates << last->toString();
    candidates << context.documentsFolder;
    for (const QString &folder : candidates)
        if (!folder.isEmpty() && QFileInfo(folder).isDir() && !hiddenFolder(folder))
            return folder;
    return context.programFolder;
}

namespace {

bool processorMissing(const FindFileContext &context)
{
    if (context.processorChosen || !context.inputs.twoProcessors())
        return false;
    context.dialogs.message(QString::fromLatin1(kChooseProcessorMessage),
                            QString::fromLatin1(kFileTypeRequiredTitle), MessageIcon::Exclamation);
    return true;
}

void openChosen(const FindFileContext &context, const QString &path)
{
    if (context.registry)
        context.registry->setValue(RegistryRoot::CurrentUser, QLatin1String(kOpenDialogKey),
                                   QLatin1String(kLastFolderValue), QFileInfo(path).absolutePath());
    context.inputs.setFile(path);
    if (context.fileOpen)
        context.fileOpen(path);
}

} // namespace

QString FindFile(FindFileContext context)
{
    if (processorMissing(context))
        return QString();
    QString localFilter;
    QString &filter = context.filter ? *context.filter : localFilter;
    const QString chosenFilter = firmwareFilter(context.inputs.family(), context.inputs.barCode());
    if (!chosenFilter.isNull())
        filter = chosenFilter;

    // The model's filter first, so it is the one in force when the dialog opens.
    const QString more = QLatin1String(kMoreOpenFilters);
    const QString path = context.dialogs.openFile(QStringLiteral("Open"),
                                                  filter.isEmpty() ? more : filter + QLatin1Char('|') + more,
                                                  openDialogFolder(context));
    if (path.isEmpty())
        return QString();
    openChosen(context, path);
    return path;
}

QString OpenGivenFile(FindFileContext context, const QString &path)
{
    if (path.isEmpty() || processorMissing(context))
        return QString();
    openChosen(context, path);
    return path;
}

} // namespace romwright
