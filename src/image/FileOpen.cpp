#include "image/FileOpen.h"

#include "image/FirmwareKind.h"
#include "image/FlashLayout.h"
#include "platform/FileSystem.h"

namespace romwright {

namespace {

FileRead read(const FileSystem &files, const QString &path, MemoryImage &image, QByteArray *header = nullptr)
{
    const SrecordResult result = ParseSrecordFile(files, path, image);
    if (header)
        *header = result.header;
    FileRead read{FileCheck::Valid, path, 0, QString()};
    if (result.error == SrecordError::NotFound)
        read.check = FileCheck::Missing;
    else if (!result.ok())
        read = {FileCheck::Damaged, path, result.line, failureReason(result), result.error};
    else if (result.bytesStored == 0)
        read.check = FileCheck::NoData;
    return read;
}

QStringList loaderFolders(const FileOpenContext &context)
{
    QStringList folders;
    for (const QString &folder :
         QStringList{context.programFolder, context.userDataFolder} + context.systemDataFolders)
        if (!folder.isEmpty() && !folders.contains(folder))
            folders << folder;
    return folders;
}

// Where a loader file is read from: the first folder that holds it. When
// none does, the program folder's path, whose read then finds it missing;
// the read then also says where it was looked for and where it belongs:
// the user's data folder, which needs no administrator.
FileRead readLoader(const FileOpenContext &context, const char *name, MemoryImage &image)
{
    const QString file = QString::fromLatin1(name);
    const QString found = findInFolders(context.files, loaderFolders(context), file);
    FileRead result =
        read(context.files, found.isEmpty() ? joinPath(context.programFolder, file) : found, image);
    if (result.check == FileCheck::Missing) {
        result.searched = loaderFolders(context);
        result.home = context.userDataFolder.isEmpty() ? context.programFolder : context.userDataFolder;
    }
    return result;
}

} // namespace

FileOpenResult FileOpen(const QString &sFile, FirmwareSet &set, const FileOpenContext &context)
{
    FileOpenResult result;
    // Whatever an earlier call found no longer stands.
    set.FilesValid = false;

    set.RamLoaderImage.fill(0x00);
    set.BootloaderImage.fill(kErased);
    result.ramLoader = readLoader(context, kRamLoaderFileName, set.RamLoaderImage);
    if (result.ramLoader.check == FileCheck::Missing) {
        // Not read, only looked for: so that one message names both files
        // when both are missing, not the second after the first is mended.
        const QString bootloader = QString::fromLatin1(kBootloaderFileName);
        if (findInFolders(context.files, loaderFolders(context), bootloader).isEmpty()) {
            result.bootloader = result.ramLoader; // the same folders searched, the same home
            result.bootloader.path = joinPath(context.programFolder, bootloader);
        }
        return result;
    }
    result.bootloader = readLoader(context, kBootloaderFileName, set.BootloaderImage);
    if (result.bootloader.check == FileCheck::Missing)
        return result;
    BuildBootloaderBlocks(set);

    set.FirmwareImage.fill(kErased);
    QByteArray header;
    result.firmware = read(context.files, sFile, set.FirmwareImage, &header);
    set.FirmwareFileData = firmwareData(set.FirmwareImage);
    set.FirmwareHeader = headerText(header);
    if (result.firmware.check == FileCheck::Missing)
        return result;
    BuildFlashBlocks64(set);
    BuildFlashBlocks128(set);
    RelocateVectors(set.FirmwareImage);

    set.FilesValid = result.allValid();
    return result;
}

QString fileNameOf(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && (path[end - 1] == QLatin1Char('/') || path[end - 1] == QLatin1Char('\\')))
        --end;
    const QStringView trimmed = QStringView(path).first(end);
    const qsizetype slash =
        std::max(trimmed.lastIndexOf(QLatin1Char('/')), trimmed.lastIndexOf(QLatin1Char('\\')));
    return displayFileName(trimmed.mid(slash + 1).toString());
}

} // namespace romwright
