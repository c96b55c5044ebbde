#include "platform/WindowsHelpViewer.h"

#include <QFile>

#include <windows.h>

#include <htmlhelp.h>

namespace romwright {

namespace {

// A compiled help file starts with "ITSF" and a header of 0x60 bytes.
constexpr int kHeaderBytes = 0x60;

const wchar_t *textOrNone(const std::wstring &text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

WindowsHelpViewer::~WindowsHelpViewer()
{
    if (m_library)
        FreeLibrary(static_cast<HMODULE>(m_library));
}

WindowsHelpViewer::HtmlHelpFunction WindowsHelpViewer::viewer()
{
    if (!m_loaded) {
        m_loaded = true;
        HMODULE library = LoadLibraryW(L"hhctrl.ocx");
        if (library) {
            m_library = library;
            m_htmlHelp = reinterpret_cast<HtmlHelpFunction>(
                reinterpret_cast<void *>(GetProcAddress(library, "HtmlHelpW")));
        }
    }
    return m_htmlHelp;
}

WindowHandle WindowsHelpViewer::htmlHelp(WindowHandle owner, const QString &file, HelpCommand command,
                                         const HelpData &data)
{
    const HtmlHelpFunction call = viewer();
    if (!call)
        return 0;
    const std::wstring fileText = file.toStdWString();
    // The texts the records point to live until the call returns.
    std::wstring a, b, c, d, e;
    HH_AKLINK link{};
    HH_FTS_QUERY search{};
    HH_POPUP popup{};
    std::uintptr_t argument = 0;
    if (const auto *page = std::get_if<QString>(&data)) {
        a = page->toStdWString();
        argument = reinterpret_cast<std::uintptr_t>(a.c_str());
    } else if (const auto *number = std::get_if<std::uint32_t>(&data)) {
        argument = *number;
    } else if (const auto *query = std::get_if<HelpLinkQuery>(&data)) {
        a = query->keywords.toStdWString();
        b = query->url.toStdWString();
        c = query->msgText.toStdWString();
        d = query->msgTitle.toStdWString();
        e = query->window.toStdWString();
        link.cbStruct = sizeof link;
        link.pszKeywords = textOrNone(a);
        link.pszUrl = textOrNone(b);
        link.pszMsgText = textOrNone(c);
        link.pszMsgTitle = textOrNone(d);
        link.pszWindow = textOrNone(e);
        link.fIndexOnFail = query->indexOnFail;
        argument = reinterpret_cast<std::uintptr_t>(&link);
    } else if (const auto *fts = std::get_if<HelpSearchQuery>(&data)) {
        a = fts->text.toStdWString();
        search.cbStruct = sizeof search;
        search.fUniCodeStrings = TRUE;
        search.pszSearchQuery = a.c_str();
        search.iProximity = HH_FTS_DEFAULT_PROXIMITY;
        search.fExecute = fts->execute;
        argument = reinterpret_cast<std::uintptr_t>(&search);
    } else if (const auto *text = std::get_if<HelpPopup>(&data)) {
        a = text->text.toStdWString();
        b = text->font.toStdWString();
        popup.cbStruct = sizeof popup;
        popup.hinst = text->resourceId != 0 && file.isEmpty() ? GetModuleHandleW(nullptr) : nullptr;
        popup.idString = text->resourceId;
        popup.pszText = textOrNone(a);
        popup.pt = {text->position.x(), text->position.y()};
        popup.clrForeground = text->foreground;
        popup.clrBackground = text->background;
        popup.rcMargins = {text->marginLeft, text->marginTop, text->marginRight, text->marginBottom};
        popup.pszFont = textOrNone(b);
        argument = reinterpret_cast<std::uintptr_t>(&popup);
    }
    void *window = call(reinterpret_cast<void *>(owner), file.isEmpty() ? nullptr : fileText.c_str(),
                        static_cast<unsigned int>(command), argument);
    return reinterpret_cast<WindowHandle>(window);
}

bool WindowsHelpViewer::helpFileIsSound(const QString &file) const
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = f.read(kHeaderBytes);
    return header.size() == kHeaderBytes && header.startsWith("ITSF");
}

void WindowsHelpViewer::deleteSystemMenuItem(WindowHandle window, int commandId)
{
    if (HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window), FALSE))
        DeleteMenu(menu, UINT(commandId), MF_BYCOMMAND);
}

void WindowsHelpViewer::enterWhatsThisMode(WindowHandle window)
{
    DefWindowProcW(reinterpret_cast<HWND>(window), WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
}

QPoint WindowsHelpViewer::cursorPosition() const
{
    POINT point{};
    GetCursorPos(&point);
    return QPoint(point.x, point.y);
}

QString WindowsHelpViewer::fileVersion(const QString &path) const
{
    const std::wstring name = path.toStdWString();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(name.c_str(), &ignored);
    if (size == 0)
        return QString();
    QByteArray info(qsizetype(size), '\0');
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(name.c_str(), 0, size, info.data()) ||
        !VerQueryValueW(info.constData(), L"\\", reinterpret_cast<void **>(&fixed), &length) || !fixed ||
        length < sizeof *fixed)
        return QString();
    // "4.74.8702.00": the last part has two digits at least.
    return QStringLiteral("%1.%2.%3.%4")
        .arg(HIWORD(fixed->dwFileVersionMS))
        .arg(LOWORD(fixed->dwFileVersionMS))
        .arg(HIWORD(fixed->dwFileVersionLS))
        .arg(LOWORD(fixed->dwFileVersionLS), 2, 10, QLatin1Char('0'));
}

} // namespace romwright
