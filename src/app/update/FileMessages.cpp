#include "app/update/FileMessages.h"

#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "view/MainView.h"

#include <QDir>
#include <QFileInfo>

namespace romwright {

QString damagedFileMessage(const QString &path, SrecordError error, int line, const QString &reason)
{
    // One arg() for all: a "%1" in a file name must stay as it is.
    const QString name = fileNameOf(path);
    switch (error) {
    case SrecordError::Folder:
        return QString::fromLatin1(kFolderMessage).arg(name);
    case SrecordError::NotRegular:
        return QString::fromLatin1(kNotRegularFileMessage).arg(name);
    case SrecordError::PermissionDenied:
        return QString::fromLatin1(kPermissionDeniedMessage).arg(name);
    case SrecordError::TooLarge:
        return QString::fromLatin1(kTooLargeFileMessage)
            .arg(name, QString::number(kLargestFileRead / (1024 * 1024)));
    default:
        return QString::fromLatin1(kDamagedFileMessage).arg(name, QString::number(line), reason);
    }
}

QString damagedFileMessage(const QString &path, const SrecordResult &result)
{
    return damagedFileMessage(path, result.error, result.line, failureReason(result));
}

QString noRecordsMessage(const QString &path)
{
    return QString::fromLatin1(kNoRecordsMessage).arg(fileNameOf(path));
}

QString missingFileMessage(const FileRead &read, bool loader, const FileRead *alsoMissing)
{
    const QString name = fileNameOf(read.path);
    if (!loader) {
        const QString folder = QFileInfo(read.path).absolutePath();
        return QString::fromLatin1(kMissingFirmwareMessage)
            .arg(name, displayFileName(QDir::toNativeSeparators(folder)));
    }
    QStringList folders;
    for (const QString &folder : read.searched)
        folders << displayFileName(QDir::toNativeSeparators(folder));
    const QString home = displayFileName(QDir::toNativeSeparators(read.home));
    if (alsoMissing)
        return QString::fromLatin1(kMissingLoadersMessage)
            .arg(name, fileNameOf(alsoMissing->path), folders.join(QStringLiteral(", ")), home);
    return QString::fromLatin1(kMissingLoaderMessage).arg(name, folders.join(QStringLiteral(", ")), home);
}

void showFileOpen(const FileOpenResult &result, MainView &view, Dialogs &dialogs)
{
    view.setControlEnabled(ControlId::ProgramButton, false);
    const QString title = QString::fromLatin1(kApplicationTitle);
    for (const FileRead *read : {&result.ramLoader, &result.bootloader, &result.firmware}) {
        if (read->check == FileCheck::Damaged) {
            view.setLamp(LampId::FileOk, Lamp::Red);
            dialogs.message(damagedFileMessage(read->path, read->error, read->line, read->reason), title,
                            MessageIcon::Exclamation);
        } else if (read->check == FileCheck::NoData) {
            view.setLamp(LampId::FileOk, Lamp::Red);
            dialogs.message(noRecordsMessage(read->path), title, MessageIcon::Exclamation);
        } else if (read->check == FileCheck::Missing) {
            view.setLamp(LampId::FileOk, Lamp::Red);
            const bool bothLoaders =
                read == &result.ramLoader && result.bootloader.check == FileCheck::Missing;
            dialogs.message(missingFileMessage(*read, read != &result.firmware,
                                               bothLoaders ? &result.bootloader : nullptr),
                            title, MessageIcon::Exclamation);
            return;
        }
        if (read == &result.bootloader &&
            (result.ramLoader.check != FileCheck::Valid || result.bootloader.check != FileCheck::Valid))
            view.setLamp(LampId::FileOk, Lamp::Red);
    }
    const bool valid = result.allValid();
    view.setLamp(LampId::FileOk, valid ? Lamp::Green : Lamp::Red);
    view.setControlEnabled(ControlId::ProgramButton, valid);
}

} // namespace romwright
