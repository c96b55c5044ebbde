// The help class's operations that the program itself never calls: the
// other ways to open the viewer (topic numbers, search, keywords, index,
// associative links, text pop-ups, What's This), the registration of help
// files and the checks of the installed help components. The window uses
// only what HTMLHelp.cpp holds.
#include "help/HTMLHelp.h"

#include "help/HelpComponentVersions.h"
#include "help/HelpFilePaths.h"

#include <QStringList>
#include <optional>
#include <vector>

namespace romwright {

using namespace helppaths;

namespace {

const QString kViewerClass = QStringLiteral("CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32");
const QString kBrowserClass = QStringLiteral("CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32");
const QString kViewerTypeLib =
    QStringLiteral("SOFTWARE\\Classes\\TypeLib\\{ADB880A2-D8FF-11CF-9377-00AA003B7A11}");
constexpr int kJumpUrlMenuItem = 0xEFFF;

// Versions compare field by field as numbers; text comparison would put
// "10.0.19041.1" below "4.74.8702.00".
std::optional<std::vector<unsigned long>> versionFields(const QString &version)
{
    if (version.trimmed().isEmpty())
        return std::nullopt;
    std::vector<unsigned long> fields;
    for (const QString &part : version.trimmed().split(QLatin1Char('.'))) {
        bool ok = false;
        const unsigned long n = part.toULong(&ok);
        if (!ok)
            return std::nullopt;
        fields.push_back(n);
    }
    return fields;
}

// -1, 0, 1; nullopt when either side is not a version.
std::optional<int> compareVersions(const QString &a, const QString &b)
{
    auto fa = versionFields(a);
    auto fb = versionFields(b);
    if (!fa || !fb)
        return std::nullopt;
    const std::size_t n = std::max(fa->size(), fb->size());
    fa->resize(n, 0);
    fb->resize(n, 0);
    if (*fa < *fb)
        return -1;
    return *fa == *fb ? 0 : 1;
}

template <std::size_t N>
QString friendlyName(const QString &version, const std::array<ComponentRelease, N> &releases)
{
    for (const auto &release : releases) {
        if (compareVersions(version, QLatin1StringView(release.version)) == 0)
            return QString::fromLatin1(release.name);
    }
    return QStringLiteral("unknown");
}

QString withoutTrailingZeroFields(QString version)
{
    while (version.endsWith(QLatin1String(".00")))
        version.chop(3);
    return version;
}

} // namespace

void HTMLHelp::HHDeleteJumpURLSysMenu(WindowHandle HH_hWnd)
{
    m_viewer.deleteSystemMenuItem(HH_hWnd, kJumpUrlMenuItem);
}

HelpLinkQuery HTMLHelp::linkQuery(const QString &keywords) const
{
    HelpLinkQuery q;
    q.keywords = keywords;
    q.url = m_HHDefaultURL;
    q.msgText = m_HHMsgText;
    q.msgTitle = m_HHMsgTitle;
    if (!m_HHWindow.trimmed().isEmpty())
        q.window = m_HHWindow;
    q.indexOnFail = false;
    return q;
}

void HTMLHelp::HHDisplayTopicID(WindowHandle callingForm)
{
    display(callingForm, HelpCommand::HelpContext, static_cast<std::uint32_t>(m_HHTopicID));
}

void HTMLHelp::HHDisplaySearch(WindowHandle callingForm)
{
    display(callingForm, HelpCommand::DisplaySearch, HelpSearchQuery{QString(), true});
}

void HTMLHelp::HHDisplayKeyword(WindowHandle callingForm)
{
    display(callingForm, HelpCommand::KeywordLookup, linkQuery(m_HHKeyword), true);
}

void HTMLHelp::HHDisplayIndex(WindowHandle callingForm)
{
    display(callingForm, HelpCommand::DisplayIndex, std::monostate{});
}

void HTMLHelp::HHDisplayALink(WindowHandle callingForm)
{
    display(callingForm, HelpCommand::ALinkLookup, linkQuery(m_HHALink));
}

void HTMLHelp::lookUpRegistration(const QString &file)
{
    const QString name = fileNameOf(file);
    const auto folder = m_registry.value(RegistryRoot::LocalMachine, kRegistrationKey, name);
    if (!folder || name.isEmpty()) {
        m_HHRegFileName.clear();
        m_HHRegFilePath.clear();
        m_HHRegFileExists = false;
        return;
    }
    m_HHRegFileName = name;
    m_HHRegFilePath = folder->toString();
    m_HHRegFileExists = m_files.fileExists(joinPath(plainLongPath(m_HHRegFilePath), name));
}

void HTMLHelp::HHCheckRegistry(const QString &fileToCheck)
{
    if (fileToCheck.isEmpty())
        return;
    if (!endsWith(fileToCheck, QLatin1StringView("chm"))) {
        warn(fileToCheck + QStringLiteral(" is not a valid HTML Help file."), MessageIcon::Exclamation);
        return;
    }
    lookUpRegistration(fileToCheck);
}

void HTMLHelp::HHRegister(const QString &fileToRegister)
{
    if (fileToRegister.isEmpty())
        return;
    if (!endsWith(fileToRegister, QLatin1StringView("chm"))) {
        warn(fileToRegister + QStringLiteral(" is not a valid HTML Help file."), MessageIcon::Exclamation);
        return;
    }
    lookUpRegistration(fileToRegister);
    if (!m_HHRegFileName.isEmpty()) {
        warn(QStringLiteral("The file ") + fileToRegister + QStringLiteral(" is already registered.  ") +
                 QStringLiteral("HHRegister will not be run as no action need be taken."),
             MessageIcon::Information);
        return;
    }
    const qsizetype sep = lastSeparator(fileToRegister);
    if (sep < 0) {
        warn(QStringLiteral("Cannot register ") + fileToRegister +
                 QStringLiteral(" without having a supplied path.") + QLatin1Char('"'),
             MessageIcon::Exclamation);
        return;
    }
    if (!m_files.fileExists(fileToRegister)) {
        warn(QStringLiteral("The file ") + fileToRegister + QStringLiteral(" does not exist.") +
                 QLatin1Char('\n') +
                 QStringLiteral("Please make sure the correct path and file name have been specified."),
             MessageIcon::Exclamation);
        return;
    }
    if (!m_registry.setValue(RegistryRoot::LocalMachine, kRegistrationKey, fileToRegister.mid(sep + 1),
                             fileToRegister.left(sep))) {
        warn(QStringLiteral("HTML Help Class: HHRegister Error"), MessageIcon::Exclamation);
        return;
    }
    HHCheckRegistry(fileToRegister);
}

void HTMLHelp::HHUnRegister(const QString &fileToUnRegister)
{
    if (fileToUnRegister.isEmpty())
        return;
    if (!endsWith(fileToUnRegister, QLatin1StringView("chm"))) {
        warn(fileToUnRegister + QStringLiteral(" is not a valid HTML Help file."), MessageIcon::Exclamation);
        return;
    }
    lookUpRegistration(fileToUnRegister);
    if (m_HHRegFileName.isEmpty()) {
        warn(QStringLiteral("The file ") + fileToUnRegister + QStringLiteral(" is not registered.  ") +
                 QStringLiteral("HHUnRegister will not be run as no action need be taken."),
             MessageIcon::Information);
        return;
    }
    m_registry.removeValue(RegistryRoot::LocalMachine, kRegistrationKey, m_HHRegFileName);
    HHCheckRegistry(fileToUnRegister);
}

QString HTMLHelp::popupFontDescription() const
{
    QString font = m_HHPopupTextFont.isEmpty() ? QStringLiteral("Arial") : m_HHPopupTextFont;
    font += QStringLiteral(", ");
    font += m_HHPopupTextSize.isEmpty() ? QStringLiteral("10") : m_HHPopupTextSize;
    font += QStringLiteral(", ascii, ");
    if (m_HHPopupTextBold)
        font += QStringLiteral("Bold ");
    if (m_HHPopupTextItalic)
        font += QStringLiteral("Italic ");
    if (m_HHPopupTextUnderline)
        font += QStringLiteral("Underline");
    return font;
}

void HTMLHelp::HHDisplayPopup(WindowHandle callingForm)
{
    HelpPopup popup;
    popup.position = m_viewer.cursorPosition();
    popup.foreground = m_HHPopupCustomColors ? m_HHPopupCustomTextColor : m_HHPopupTextColor;
    popup.background = m_HHPopupCustomColors ? m_HHPopupCustomBackColor : m_HHPopupBackColor;
    popup.font = popupFontDescription();
    QString file;
    switch (m_HHPopupType) {
    case 1:
        if (!checkHelpFile(file))
            return;
        if (!endsWith(m_HHPopupFile, QLatin1StringView("txt"))) {
            warn(QStringLiteral("The file specified as the text popup source, '") + m_HHPopupFile +
                     QStringLiteral("', is not a valid popup file."),
                 MessageIcon::Exclamation);
            return;
        }
        file = m_CHMFile + QStringLiteral("::/") + m_HHPopupFile;
        popup.resourceId = static_cast<std::uint32_t>(m_HHPopupID);
        break;
    case 2:
        popup.resourceId = static_cast<std::uint32_t>(m_HHPopupID);
        break;
    case 4:
        if (m_HHPopupText.isEmpty())
            return;
        popup.text = m_HHPopupText;
        break;
    default:
        return;
    }
    const WindowHandle owner = m_HHShowOnTop ? callingForm : 0;
    m_HHWndHandle = m_viewer.htmlHelp(owner, file, HelpCommand::DisplayTextPopup, popup);
}

void HTMLHelp::HHInvokeWhatsThisHelp(WindowHandle callingForm)
{
    m_viewer.enterWhatsThisMode(callingForm);
}

QString HTMLHelp::checkComponent(const QString &classKey, const QString &notRegistered,
                                 const QString &notFound)
{
    const auto registered = m_registry.value(RegistryRoot::ClassesRoot, classKey, QString());
    if (!registered || registered->toString().trimmed().isEmpty()) {
        warn(notRegistered, MessageIcon::Critical);
        return QString();
    }
    const QString path = plainLongPath(registered->toString());
    if (!m_files.fileExists(path)) {
        warn(notFound, MessageIcon::Critical);
        return QString();
    }
    return m_viewer.fileVersion(path);
}

bool HTMLHelp::HHInstalled() const
{
    return m_registry.keyExists(RegistryRoot::LocalMachine, kViewerTypeLib);
}

QString HTMLHelp::HHVersion()
{
    m_HHVersion = checkComponent(kViewerClass,
                                 QStringLiteral("Hhctrl.ocx is not registered.  Please install HTML Help."),
                                 QStringLiteral("Hhctrl.ocx is not in its registered location.  "
                                                "Please reinstall HTML Help."));
    return m_HHVersion;
}

QString HTMLHelp::IEVersion()
{
    m_IEVersion = checkComponent(
        kBrowserClass, QStringLiteral("Shdocvw.dll is not registered.  Please install Internet Explorer."),
        QStringLiteral("Internet Explorer is not in its registered location.  "
                       "Please reinstall Internet Explorer."));
    return m_IEVersion;
}

QString HTMLHelp::HHFriendlyName()
{
    if (m_HHVersion.isEmpty())
        HHVersion();
    m_HHFriendlyName = friendlyName(m_HHVersion, kHelpViewerReleases);
    return m_HHFriendlyName;
}

QString HTMLHelp::IEFriendlyName()
{
    if (m_IEVersion.isEmpty())
        IEVersion();
    m_IEFriendlyName = friendlyName(m_IEVersion, kBrowserReleases);
    return m_IEFriendlyName;
}

bool HTMLHelp::HHVerifyMinConfig(std::int32_t minHHVersion, std::int32_t minIEVersion)
{
    HHVersion();
    IEVersion();

    bool viewerOk = false;
    const int viewerRow = minHHVersion - kFirstHelpViewerCode;
    if (viewerRow >= 0 && viewerRow < int(kHelpViewerReleases.size())) {
        const QString minimum =
            withoutTrailingZeroFields(QLatin1StringView(kHelpViewerReleases[viewerRow].version));
        viewerOk = compareVersions(m_HHVersion, minimum).value_or(-1) >= 0;
    } else {
        m_HHVersion = QStringLiteral("unknown");
    }

    bool browserOk = false;
    const int browserRow = minIEVersion - kFirstBrowserCode;
    if (browserRow >= 0 && browserRow < int(kBrowserReleases.size())) {
        const QString minimum = QLatin1StringView(kBrowserReleases[browserRow].version);
        browserOk = compareVersions(m_IEVersion, minimum).value_or(-1) >= 0;
    } else {
        m_IEVersion = QStringLiteral("unknown");
    }

    m_HHFriendlyName = friendlyName(m_HHVersion, kHelpViewerReleases);
    m_IEFriendlyName = friendlyName(m_IEVersion, kBrowserReleases);
    return viewerOk && browserOk;
}

QString HTMLHelp::HHSetHelpFile(std::int16_t intSelHelpFile) const
{
    switch (intSelHelpFile) {
    case 1:
        return joinPath(m_programFolder, QStringLiteral("Library.chm"));
    case 2:
        return QStringLiteral("Library.txt");
    default:
        return QString();
    }
}

WindowHandle HTMLHelp::HHWndHandle() const
{
    if (m_HHWndHandle == 0)
        warn(QStringLiteral("No HTML Help window handle to retrieve."), MessageIcon::Exclamation);
    return m_HHWndHandle;
}

} // namespace romwright
