#include "app/common/FirmwareDiscovery.h"

#include "platform/FileSystem.h"
#include "scanner/ScannerModel.h"
#include "view/MainView.h"

#include <array>

namespace romwright {

namespace {

// One run of names: prefix + major "_" minor + extension, counting down by 0.1
// from `from` to `to` (versions in tenths).
struct CandidateRun {
    const char *prefix;
    int from;
    int to;
    const char *extension;
};

void appendRun(QStringList &names, const CandidateRun &run)
{
    for (int version = run.from; version >= run.to; --version)
        names << QStringLiteral("%1%2_%3%4")
                     .arg(QLatin1String(run.prefix))
                     .arg(version / 10)
                     .arg(version % 10)
                     .arg(QLatin1String(run.extension));
}

// The prefixes differ in letter case on purpose; they are the names the
// firmware releases were shipped under. Halvern 3.3 and 3.2 were never released.
constexpr std::array kHalvern{CandidateRun{"Hlv1450ver", 60, 34, ".s19"},
                              CandidateRun{"Hlv1450ver", 31, 31, ".s19"}};
constexpr std::array kHalvernU{CandidateRun{"Hlv1450Uver", 60, 40, ".s19"}};
constexpr std::array kJorlith{CandidateRun{"JL750Ver", 60, 22, ".s19"}};
constexpr std::array kJorlithU{CandidateRun{"JL750UVer", 60, 40, ".s19"}};
// Every main-processor name comes before any bar-code one.
constexpr std::array kWexmoor{CandidateRun{"WX3650UVer", 60, 10, ".s19"},
                              CandidateRun{"WX3650UVer", 19, 10, ".s20"}};

template <std::size_t N> QStringList namesOf(const std::array<CandidateRun, N> &runs)
{
    QStringList names;
    for (const CandidateRun &run : runs)
        appendRun(names, run);
    return names;
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
    switch (typeOfScanner) {
    case kHalvern1450:
        return bTargetA ? namesOf(kHalvernU) : namesOf(kHalvern);
    case kJorlith750:
        return bTargetA ? namesOf(kJorlithU) : namesOf(kJorlith);
    case kWexmoor3650:
        if (barCode)
            return namesOf(kWexmoor).filter(QLatin1String(*barCode ? ".s20" : ".s19"));
        return namesOf(kWexmoor);
    default:
        return {};
    }
}

int typeOfScannerForModel(const QString &model)
{
    const QChar first = model.isEmpty() ? QChar() : model.at(0);
    if (first == QLatin1Char('H'))
        return kHalvern1450;
    if (first == QLatin1Char('J'))
        return kJorlith750;
    if (first == QLatin1Char('W'))
        return kWexmoor3650;
    return kNotDetected;
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

bool loadDiscoveredFirmware(const FileSystem &files, const FirmwareChoice &choice, MainView &view,
                            const std::function<void(const QString &)> &fileOpen)
{
    if (choice.sFirmFile.isEmpty())
        return false;
    const QString path = joinPath(choice.folder, choice.sFirmFile);
    if (!files.fileExists(path))
        return false;
    if (files.listing(path).size() > 1) {
        view.setText(LabelId::FirmFile, displayFileName(choice.sFirmFile));
        view.setControlEnabled(ControlId::ProgramButton, true);
        if (fileOpen)
            fileOpen(path);
        return true;
    }
    view.setControlEnabled(ControlId::ProgramButton, false);
    return false;
}

} // namespace romwright
