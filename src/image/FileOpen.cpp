#include "image/FileOpen.h"

#include "image/FirmwareKind.h"
#include "image/FlashLayout.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "view/MainView.h"

namespace romwright {

namespace {

class Loader {
public:
    explicit Loader(const FileOpenContext &context) : m_context(context) {}

    // Reads path into image and tells the user of a damaged file.
    FileCheck read(const QString &path, MemoryImage &image)
    {
        const SrecordResult result = ParseSrecordFile(m_context.files, path, image);
        if (result.error == SrecordError::NotFound)
            return FileCheck::Missing;
        if (!result.ok()) {
            m_context.view.setLamp(LampId::FileOk, Lamp::Red);
            m_context.dialogs.message(damagedFileMessage(path, result),
                                      QString::fromLatin1(kApplicationTitle), MessageIcon::Exclamation);
            return FileCheck::Damaged;
        }
        return result.bytesStored > 0 ? FileCheck::Valid : FileCheck::NoData;
    }

    // A missing file ends FileOpen at once; a green lamp would still vouch
    // for the files of an earlier call, so it turns red.
    void reportMissing()
    {
        if (m_context.view.lamp(LampId::FileOk) == Lamp::Green)
            m_context.view.setLamp(LampId::FileOk, Lamp::Red);
        m_context.dialogs.message(QString::fromLatin1(kMissingFileMessage),
                                  QString::fromLatin1(kApplicationTitle), MessageIcon::None);
    }

private:
    const FileOpenContext &m_context;
};

// Where a loader file is read from: the first folder that holds it. When
// none does, the program folder's path, whose read then finds it missing.
QString loaderPath(const FileOpenContext &context, const char *name)
{
    const QString file = QString::fromLatin1(name);
    const QString found = findInFolders(context.files, {context.programFolder, context.userDataFolder}, file);
    return found.isEmpty() ? joinPath(context.programFolder, file) : found;
}

} // namespace

FileOpenResult FileOpen(const QString &sFile, FirmwareSet &set, const FileOpenContext &context)
{
    FileOpenResult result;
    Loader loader(context);
    // Whatever an earlier call found no longer stands.
    set.FilesValid = false;
    context.view.setEnabled(ControlId::ProgramButton, false);

    set.RamLoaderImage.fill(0x00);
    set.BootloaderImage.fill(kErased);

    result.ramLoader = loader.read(loaderPath(context, kRamLoaderFileName), set.RamLoaderImage);
    if (result.ramLoader == FileCheck::Missing) {
        loader.reportMissing();
        return result;
    }
    result.bootloader = loader.read(loaderPath(context, kBootloaderFileName), set.BootloaderImage);
    if (result.bootloader == FileCheck::Missing) {
        loader.reportMissing();
        return result;
    }
    if (result.ramLoader != FileCheck::Valid || result.bootloader != FileCheck::Valid)
        context.view.setLamp(LampId::FileOk, Lamp::Red);
    BuildBootloaderBlocks(set);

    set.FirmwareImage.fill(kErased);
    result.firmware = loader.read(sFile, set.FirmwareImage);
    set.FirmwareFileData = firmwareData(set.FirmwareImage);
    if (result.firmware == FileCheck::Missing) {
        loader.reportMissing();
        return result;
    }
    BuildFlashBlocks64(set);
    BuildFlashBlocks128(set);
    RelocateVectors(set.FirmwareImage);

    set.FilesValid = result.allValid();
    context.view.setLamp(LampId::FileOk, set.FilesValid ? Lamp::Green : Lamp::Red);
    context.view.setEnabled(ControlId::ProgramButton, set.FilesValid);
    return result;
}

QString fileNameOf(const QString &path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(slash + 1);
}

QString damagedFileMessage(const QString &path, const SrecordResult &result)
{
    // One arg() for all three: a "%1" in a file name must stay as it is.
    return QStringLiteral("The file %1 is damaged and cannot be used (line %2: %3).")
        .arg(fileNameOf(path), QString::number(result.line), failureReason(result));
}

} // namespace romwright
