#include "app/startup/OutputPaths.h"

#include "app/update/UnfinishedUpdate.h"
#include "image/FileOpen.h"
#include "platform/FileSystem.h"

#include <QDir>

#include <algorithm>

namespace romwright {

namespace {

const QChar kSeparator = QDir::separator(); // canonicalPath() gives the system's own

// A canonical path's folder and name.
QString folderOf(const QString &canonical)
{
    return canonical.left(std::max<qsizetype>(canonical.lastIndexOf(kSeparator), 1));
}

QString nameOf(const QString &canonical)
{
    return canonical.mid(canonical.lastIndexOf(kSeparator) + 1);
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, kFileNameCase) == 0;
}

// In the folder or anywhere below it.
bool below(const QString &canonical, const QString &folder)
{
    if (folder.isEmpty())
        return false;
    QString root = canonicalPath(folder);
    if (!root.endsWith(kSeparator))
        root += kSeparator;
    return canonical.startsWith(root, kFileNameCase);
}

// A firmware file's or a loader file's extension.
bool isSrecordFileName(const QString &name)
{
    for (const char *extension : {".s19", ".s20", ".sss"})
        if (name.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

ProgramInputs programInputs(const QString &firmwareFile)
{
    ProgramInputs inputs;
    if (!firmwareFile.isEmpty())
        inputs.firmwareFiles << firmwareFile;
    inputs.stateFolder = userStateFolder();
    if (!inputs.stateFolder.isEmpty())
        for (const UnfinishedUpdate &record : UnfinishedUpdates(inputs.stateFolder).all())
            inputs.firmwareFiles << record.file;
    inputs.dataFolders << programFolder() << userDataFolder() << systemDataFolders();
    inputs.dataFolders.removeAll(QString());
    inputs.ports = PortMap::fromEnvironment();
    return inputs;
}

QString overwrittenInput(const QString &output, const ProgramInputs &inputs)
{
    const QString canonical = canonicalPath(output);
    const QString name = nameOf(canonical);
    for (const QString &file : inputs.firmwareFiles)
        if (!file.isEmpty() && (sameName(canonical, canonicalPath(file)) || sameFile(output, file)))
            return QStringLiteral("the firmware file %1").arg(displayFileName(file));
    if (below(canonical, inputs.stateFolder))
        return QStringLiteral("the program's own records in %1").arg(displayFileName(inputs.stateFolder));
    for (const QString &folder : inputs.dataFolders) {
        if (folder.isEmpty() || !sameName(folderOf(canonical), canonicalPath(folder)))
            continue;
        for (const char *loader : {kRamLoaderFileName, kBootloaderFileName})
            if (name.compare(QLatin1String(loader), Qt::CaseInsensitive) == 0)
                return QStringLiteral("the loader file %1").arg(displayFileName(joinPath(folder, name)));
        if (isSrecordFileName(name))
            return QStringLiteral("a firmware file in %1, where firmware is looked for")
                .arg(displayFileName(folder));
    }
    // Firmware and loaders kept anywhere else: no output is an S-record file.
    if (isSrecordFileName(name) && LocalFileSystem().fileExists(output))
        return QStringLiteral("the S-record file %1").arg(displayFileName(output));
    return QString();
}

QString notAFile(const QString &output, const ProgramInputs &inputs)
{
    // By its resolved path (also COM3 and \\.\COM3 on Windows), then as the same file or device.
    int port = inputs.ports.portOf(output);
    for (const int n : inputs.ports.ports())
        if (port == 0 && sameFile(output, inputs.ports.device(n)))
            port = n;
    if (port != 0)
        return QStringLiteral("is the device of port %1, not a file").arg(port);
    switch (outputTarget(output)) {
    case OutputTarget::File:
    case OutputTarget::New:
        return QString();
    case OutputTarget::NoFolder:
        return QStringLiteral("is in a folder that does not exist");
    case OutputTarget::Folder:
        return QStringLiteral("is a folder, not a file");
    case OutputTarget::Device:
        return QStringLiteral("is a device, not a file");
    case OutputTarget::Fifo:
        return QStringLiteral("is a FIFO, not a file");
    case OutputTarget::Socket:
        return QStringLiteral("is a socket, not a file");
    case OutputTarget::Other:
        break;
    }
    return QStringLiteral("is not a regular file");
}

QString outputRefusal(const QString &option, const QString &output, const ProgramInputs &inputs)
{
    if (const QString why = notAFile(output, inputs); !why.isEmpty())
        return QStringLiteral("%1 %2 %3; name a file").arg(option, displayFileName(output), why);
    const QString input = overwrittenInput(output, inputs);
    if (input.isEmpty())
        return QString();
    return QStringLiteral("%1 %2 would overwrite %3; name another file")
        .arg(option, displayFileName(output), input);
}

} // namespace romwright
