#include "app/common/FindFile.h"

#include "family/ScannerFamilies.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "view/MainView.h"
#include "view/ProgramFlags.h"

#include <QFileInfo>

namespace romwright {

QString firmwareFilter(const QString &modelLabel, bool bBarCodeProcessor)
{
    const ScannerFamily *family = familyShownAs(modelLabel);
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

QString openDialogFolder(const FindFileContext &context)
{
    QStringList candidates;
    if (!context.currentFile.isEmpty())
        candidates << QFileInfo(context.currentFile).absolutePath();
    if (context.registry)
        if (const auto last = context.registry->value(
                RegistryRoot::CurrentUser, QLatin1String(kOpenDialogKey), QLatin1String(kLastFolderValue)))
            candidates << last->toString();
    candidates << context.userDataFolder;
    for (const QString &folder : candidates)
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    return context.programFolder;
}

QString FindFile(FindFileContext context)
{
    if (!context.processorChosen && context.flags.bWexmoor) {
        context.dialogs.message(QString::fromLatin1(kChooseProcessorMessage),
                                QString::fromLatin1(kFileTypeRequiredTitle), MessageIcon::Exclamation);
        return QString();
    }
    QString localFilter;
    QString &filter = context.filter ? *context.filter : localFilter;
    const QString chosenFilter =
        firmwareFilter(context.view.text(LabelId::ScanMod), context.flags.bBarCodeProcessor);
    if (!chosenFilter.isNull())
        filter = chosenFilter;

    // The model's filter first, so it is the one in force when the dialog opens.
    const QString more = QLatin1String(kMoreOpenFilters);
    const QString path = context.dialogs.openFile(QStringLiteral("Open"),
                                                  filter.isEmpty() ? more : filter + QLatin1Char('|') + more,
                                                  openDialogFolder(context));
    if (path.isEmpty())
        return QString();
    if (context.registry)
        context.registry->setValue(RegistryRoot::CurrentUser, QLatin1String(kOpenDialogKey),
                                   QLatin1String(kLastFolderValue), QFileInfo(path).absolutePath());
    // The part after the last separator; both kinds, a typed path may carry either.
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    context.view.setText(LabelId::FirmFile, path.mid(cut + 1));
    if (context.fileOpen)
        context.fileOpen(path);
    return path;
}

} // namespace romwright
