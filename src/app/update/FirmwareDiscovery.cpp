#include "app/update/FirmwareDiscovery.h"

#include "family/ScannerFamilies.h"
#include "image/FileOpen.h"
#include "platform/FileSystem.h"
#include "view/MainView.h"

#include <QFileInfo>

namespace romwright {

namespace {

void appendRun(QStringList &names, const ReleaseRun &run)
{
    for (int version = run.from; version >= run.to; --version)
        names << QStringLiteral("%1%2_%3%4")
                     .arg(latin1(run.prefix))
                     .arg(version / 10)
                     .arg(version % 10)
                     .arg(latin1(run.extension));
}

// Blanks only, as the command line is typed; a tab is part of a name.
QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

} // namespace

QStringList firmwareCandidates(int typeOfScanner, bool bTargetA, std::optional<bool> barCode)
{
    const ScannerFamily *family = familyOfType(typeOfScanner);
    if (!family)
        return {};
    QStringList names;
    for (const ReleaseLine &line : family->releases) {
        if (line.boot != BootSoftware::Any && (line.boot == BootSoftware::Rows128) != bTargetA)
            continue;
        if (barCode && line.processor != Processor::Any && (line.processor == Processor::BarCode) != *barCode)
            continue;
        for (const ReleaseRun &run : line.runs)
            if (!run.prefix.empty())
                appendRun(names, run);
    }
    return names;
}

int typeOfScannerForModel(const QString &model)
{
    const ScannerFamily *family = familyShownAs(model);
    return family ? family->type : kNotDetected;
}

FirmwareChoice discoverFirmware(const FileSystem &files, const QStringList &folders, int typeOfScanner,
                                bool bTargetA, const QString &commandLineFile, std::optional<bool> barCode)
{
    // The name found and the folder it was found in.
    auto firstIn = [&](const QString &name) -> FirmwareChoice {
        for (const QString &folder : folders) {
            if (!folder.isEmpty() && files.fileExists(joinPath(folder, name)))
                return {folder, name};
        }
        return {};
    };
    FirmwareChoice choice;
    const QStringList candidates = firmwareCandidates(typeOfScanner, bTargetA, barCode);
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        for (const QString &name : candidates) {
            if (files.fileExists(joinPath(folder, name))) {
                choice = {folder, name};
                break;
            }
        }
        if (!choice.sFirmFile.isEmpty())
            break;
    }
    if (!commandLineFile.isEmpty()) {
        const QString trimmed = trimBlanks(commandLineFile);
        if (!trimmed.isEmpty()) {
            const FirmwareChoice named = firstIn(trimmed);
            if (!named.sFirmFile.isEmpty())
                choice = named;
        }
    }
    return choice;
}

std::vector<FirmwareCandidate> firmwareCandidatesAtHand(const FileOpenContext &context, int typeOfScanner,
                                                        std::optional<bool> barCode,
                                                        std::optional<bool> bTargetA)
{
    const QStringList folders =
        QStringList{context.programFolder, context.userDataFolder} + context.systemDataFolders;
    std::vector<FirmwareCandidate> candidates;
    for (const bool a : {false, true}) {
        if (bTargetA && *bTargetA != a)
            continue;
        FirmwareCandidate candidate{a, firmwareCandidates(typeOfScanner, a, barCode), {}, false};
        if (candidate.names.isEmpty())
            continue;
        // One list for both: its file serves either boot software.
        if (!candidates.empty() && candidates.front().names == candidate.names) {
            candidates.front().bTargetA.reset();
            continue;
        }
        const FirmwareChoice chosen = discoverFirmware(context.files, folders, typeOfScanner, a, {}, barCode);
        if (!chosen.sFirmFile.isEmpty()) {
            candidate.path = joinPath(chosen.folder, chosen.sFirmFile);
            FirmwareSet scratch;
            candidate.sound = FileOpen(candidate.path, scratch, context).allValid();
        }
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}

QString bootSoftwareName(std::optional<bool> bTargetA)
{
    if (!bTargetA)
        return QStringLiteral("either boot software");
    return *bTargetA ? QStringLiteral("the 128-byte boot software")
                     : QStringLiteral("the 64-byte boot software");
}

QString missingFirmwareAdvice(const FirmwareCandidate &missing, const std::vector<FirmwareCandidate> &atHand,
                              const FileOpenContext &context)
{
    QString folder = context.userDataFolder.isEmpty() ? context.programFolder : context.userDataFolder;
    for (const FirmwareCandidate &other : atHand)
        if (!other.path.isEmpty()) {
            folder = QFileInfo(other.path).path();
            break;
        }
    if (missing.names.isEmpty())
        return QStringLiteral("put its firmware file in %1").arg(displayFileName(folder));
    const QString releases = missing.names.size() == 1
                                 ? QString()
                                 : QStringLiteral(" (or an older release named the same way, down to %1)")
                                       .arg(missing.names.last());
    return QStringLiteral("put %1%2 in %3").arg(missing.names.first(), releases, displayFileName(folder));
}

bool loadDiscoveredFirmware(const FileSystem &files, const FirmwareChoice &choice, MainView &view,
                            UpdateInputs &inputs, const std::function<void(const QString &)> &fileOpen)
{
    if (choice.sFirmFile.isEmpty())
        return false;
    const QString path = joinPath(choice.folder, choice.sFirmFile);
    if (!files.fileExists(path))
        return false;
    if (files.listing(path).size() > 1) {
        inputs.setFile(path);
        view.setControlEnabled(ControlId::ProgramButton, true);
        if (fileOpen)
            fileOpen(path);
        return true;
    }
    view.setControlEnabled(ControlId::ProgramButton, false);
    return false;
}

} // namespace romwright
