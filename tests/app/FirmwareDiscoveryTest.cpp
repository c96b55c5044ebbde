#include "app/update/FirmwareDiscovery.h"
#include "platform/FileSystem.h"
#include "scanner/ScannerModel.h"
#include "view/ViewState.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace romwright;

namespace {

// A folder holding the given files (and folders, names ending in "/").
QString makeFolder(QTemporaryDir &dir, const QStringList &entries)
{
    for (const QString &entry : entries) {
        if (entry.endsWith(QLatin1Char('/')))
            QDir(dir.path()).mkdir(entry.chopped(1));
        else
            writeWholeFile(dir.filePath(entry), "S9030000FC\n");
    }
    return dir.path();
}

// One file, hit, exists; the folder lists it as listed.
class OneFile : public FileSystem {
public:
    bool fileExists(const QString &path) const override { return path.endsWith(hit); }
    QString listing(const QString &path) const override { return fileExists(path) ? listed : QString(); }
    FileContents read(const QString &) const override { return {}; }

    QString hit;
    QString listed;
};

} // namespace

TEST(DiscoverFirmware, CasesInTheProgramAndTheUserDataFolder)
{
    const int H = kHalvern1450, J = kJorlith750, W = kWexmoor3650;
    // Windows' file names ignore case: there the list's name opens the file.
#ifdef Q_OS_WIN
    const QString caseBlind = "Hlv1450ver5_8.s19";
#else
    const QString caseBlind;
#endif
    const QString hl58 = "Hlv1450ver5_8.s19", hl42 = "Hlv1450ver4_2.s19", jl60 = "JL750Ver6_0.s19",
                  jl50 = "JL750Ver5_0.s19", wx20 = "WX3650UVer1_9.s20";
    const struct {
        const char *name;
        QStringList files;
        int type;
        bool targetA;
        QString commandLine;
        QString expected;
        QStringList userFiles{}; // in the user's data folder
    } cases[] = {
        // clang-format off
        {"newest Halvern wins", {hl58, hl42}, H, false, {}, hl58},
        {"A never tries the plain Halvern list", {hl58, hl42}, H, true, {}, {}},
        {"Halvern 3.3 is no candidate", {"Hlv1450ver3_3.s19"}, H, false, {}, {}},
        {".s19 before .s20", {"WX3650UVer1_0.s19", wx20}, W, false, {}, "WX3650UVer1_0.s19"},
        {"Wexmoor list whatever the target", {"WX3650UVer3_9.s19"}, W, true, {}, "WX3650UVer3_9.s19"},
        {"names differ in case from the list", {"hlv1450ver5_8.s19", "JL750VER6_0.s19"}, H, false, {}, caseBlind},
        {"a folder", {"Hlv1450ver6_0.s19/", "Hlv1450ver5_0.s19"}, H, false, {}, "Hlv1450ver5_0.s19"},
        {"command line, trimmed", {jl60, "JL750Ver5_0.s19"}, J, false, " JL750Ver5_0.s19 ", jl50},
        {"command-line file missing", {jl60}, J, false, jl50, jl60},
        {"command line of another family, no scanner", {wx20}, kNotDetected, false, wx20, wx20},
        {"no scanner, no command line", {hl58}, kNoScannerFound, false, {}, {}},
        {"user's folder after", {hl42}, H, false, {}, hl42, {hl58}},
        {"user's folder when the program's has none", {}, H, false, {}, hl58, {hl58}},
        {"command-line file in the user's folder", {jl60}, J, false, jl50, jl50, {jl50}},
        // clang-format on
    };
    LocalFileSystem files;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder, user;
        const FirmwareChoice found =
            discoverFirmware(files, {makeFolder(folder, c.files), makeFolder(user, c.userFiles)}, c.type,
                             c.targetA, c.commandLine);
        EXPECT_EQ(found.sFirmFile, c.expected);
        EXPECT_TRUE(c.expected.isEmpty() || files.fileExists(joinPath(found.folder, found.sFirmFile)))
            << qPrintable(found.folder);
    }
}

TEST(LoadDiscoveredFirmware, LabelButtonAndFileOpen)
{
    // name chosen, whether it exists, what the folder lists for it, whether it is loaded and PROGRAM after
    const std::tuple<const char *, bool, const char *, bool, bool> cases[] = {
        {"Hlv1450ver5_9.s19", true, "Hlv1450ver5_9.s19", true, true},
        {"Hlv1450ver5_9.s19", true, "H", false, false}, // a listed name of one character
        {"Hlv1450ver5_9.s19", true, "", false, false},
        {"", true, "", false, true},                 // nothing chosen: untouched
        {"JL750Ver5_0.s19", false, "", false, true}, // chosen but gone: untouched
    };
    for (const auto &[name, exists, listed, loads, program] : cases) {
        SCOPED_TRACE(listed);
        OneFile files;
        files.hit = exists ? QStringLiteral("/") + name : QStringLiteral("elsewhere");
        files.listed = QLatin1String(listed);
        ViewState view;
        UpdateInputs inputs(view);
        QStringList opened;
        EXPECT_EQ(loadDiscoveredFirmware(files, {QStringLiteral("/opt/romwright"), name}, view, inputs,
                                         [&](const QString &path) { opened << path; }),
                  loads);
        EXPECT_EQ(opened, loads ? QStringList{QStringLiteral("/opt/romwright/") + name} : QStringList());
        EXPECT_EQ(view.text(LabelId::FirmFile), loads ? QLatin1String(name) : QLatin1String("None"));
        EXPECT_EQ(view.isControlEnabled(ControlId::ProgramButton), program);
    }
}
