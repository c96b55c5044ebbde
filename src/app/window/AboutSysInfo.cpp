#include "app/window/AboutSysInfo.h"

#include "image/FileOpen.h"
#include "platform/DeviceAccess.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace romwright {
namespace {

bool startDetached(const QString &program)
{
    return QProcess::startDetached(program, {});
}

} // namespace

bool GetKeyValue(const Registry &registry, RegistryRoot keyRoot, const QString &keyName,
                 const QString &subKeyRef, QString &keyVal)
{
    const std::optional<QVariant> value = registry.value(keyRoot, keyName, subKeyRef);
    if (!value) {
        keyVal.clear();
        return false;
    }
    switch (value->typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        QString text = value->toString();
        if (text.endsWith(QChar(0)))
            text.chop(1);
        keyVal = text;
        break;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        // The number in full, most significant byte first.
        keyVal = QStringLiteral("&h") +
                 QStringLiteral("%1")
                     .arg(static_cast<quint32>(value->toLongLong()), 8, 16, QLatin1Char('0'))
                     .toUpper();
        break;
    default:
        break;
    }
    return true;
}

void StartSysInfo(const Registry &registry, const SysInfoTools &tools)
{
    const auto start = tools.start ? tools.start : startDetached;
    const QString key = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    const QString locationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

    QString path;
    QString value;
    if (GetKeyValue(registry, RegistryRoot::LocalMachine, key, QStringLiteral("PATH"), value)) {
        path = value;
    } else if (GetKeyValue(registry, RegistryRoot::LocalMachine, locationKey, QStringLiteral("MSINFO"),
                           value)) {
        const QString candidate = joinPath(value, QStringLiteral("MSINFO32.EXE"));
        if (QFileInfo(candidate).isFile())
            path = candidate;
    }
    if (path.isEmpty()) {
        for (const QString &tool : tools.candidates) {
            path = QStandardPaths::findExecutable(tool);
            if (!path.isEmpty())
                break;
        }
    }
    if (!path.isEmpty() && start(path))
        return;
    if (tools.ownSummary)
        tools.ownSummary();
    else
        showSystemInfo(nullptr, ProgramFacts());
}

namespace {

QString shown(const QString &folder)
{
    return folder.isEmpty() ? QStringLiteral("none") : displayFileName(QDir::toNativeSeparators(folder));
}

} // namespace

QString systemSummary(const PortMap &ports, const ProgramFacts &facts, const FileSystem &files)
{
    QStringList systemFolders;
    for (const QString &folder : facts.systemDataFolders)
        systemFolders << shown(folder);
    QStringList lines{
        QStringLiteral("Romwright: %1").arg(facts.version),
        QStringLiteral("System: %1").arg(QSysInfo::prettyProductName()),
        QStringLiteral("Kernel: %1 %2 (%3)")
            .arg(QSysInfo::kernelType(), QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture()),
        QStringLiteral("Qt: %1 (built with %2)")
            .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR)),
        QString(),
        QStringLiteral("Folders:"),
        QStringLiteral("  Program:  %1").arg(shown(facts.programFolder)),
        QStringLiteral("  User:     %1").arg(shown(facts.userDataFolder)),
    };
    if (!systemFolders.isEmpty())
        lines << QStringLiteral("  System:   %1").arg(systemFolders.join(QStringLiteral(", ")));
    lines << QStringLiteral("  State:    %1 (update log, unfinished updates, transcripts)")
                 .arg(shown(facts.stateFolder))
          << QString() << QStringLiteral("Loader files:");
    // Looked for as an update looks for them.
    const QStringList folders =
        QStringList{facts.programFolder, facts.userDataFolder} + facts.systemDataFolders;
    for (const char *loader : {kRamLoaderFileName, kBootloaderFileName}) {
        const QString found = findInFolders(files, folders, QString::fromLatin1(loader));
        lines << QStringLiteral("  %1  %2")
                     .arg(QString::fromLatin1(loader).leftJustified(20),
                          found.isEmpty() ? QStringLiteral("not found")
                                          : QStringLiteral("found in ") + shown(QFileInfo(found).path()));
    }
    lines << QString() << QStringLiteral("Serial ports:");
    int listed = 0;
    for (int port = PortMap::kFirstPort; port <= PortMap::kLastPort; ++port) {
        const QString device = ports.device(port);
        if (device.isEmpty())
            continue;
        const DeviceAccess access = deviceAccess(device);
        if (!access.exists)
            continue; // on Windows every number has its COM name
        ++listed;
        const char *state = port == facts.heldPort ? "held by Romwright"
                            : access.refusesUser() ? "this user may not open it"
                                                   : "may be opened";
        // Each system's name ("port 1 /dev/ttyUSB0" here, "COM1" on Windows), the device only where it says
        // more.
        const QString name = portName(port);
        lines << QStringLiteral("  %1%2  (%3)")
                     .arg(name,
                          device.endsWith(name) ? QString() : QStringLiteral("  ") + displayFileName(device),
                          QLatin1String(state));
    }
    if (listed == 0)
        lines << QStringLiteral("  none found");
    return lines.join(QLatin1Char('\n'));
}

void showSystemInfo(QWidget *parent, const ProgramFacts &facts)
{
    QDialog box(parent);
    box.setObjectName(QStringLiteral("dlgSystemInfo"));
    box.setWindowTitle(QStringLiteral("System Information"));
    const QString summary = systemSummary(PortMap::fromEnvironment(), facts, LocalFileSystem());
    auto *text = new QPlainTextEdit(summary, &box);
    text->setObjectName(QStringLiteral("txtSystemInfo"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Fixed pitch, so that the columns line up, and the whole summary in
    // view where the screen allows: a cut line may hide the folder asked for.
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics metrics(text->font());
    const QStringList lines = summary.split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString &line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const QSize room = box.screen()->availableGeometry().size() * 0.8;
    const int frame = 2 * text->frameWidth() + 2 * int(text->document()->documentMargin()) +
                      text->verticalScrollBar()->sizeHint().width();
    text->setMinimumSize(
        std::clamp(widest + frame, 520, std::max(520, room.width())),
        std::clamp(int(lines.size() + 1) * metrics.lineSpacing() + frame, 260, std::max(260, room.height())));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &box);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto *layout = new QVBoxLayout(&box);
    layout->addWidget(text);
    layout->addWidget(buttons);
    box.exec();
}

} // namespace romwright
