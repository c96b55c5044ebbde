#include "app/window/help/WidgetHelpViewer.h"

#include "app/window/help/HelpPopupWindow.h"
#include "app/window/help/HelpViewerWindow.h"
#include "help/HelpPopupFile.h"

#include <QCursor>
#include <QFileInfo>
#include <QWhatsThis>

namespace romwright {

namespace {

// "file.chm>window" and "file.chm::/inner.txt" name the help file first. A
// window name holds no '/', so a '>' inside the folder names does not count.
QString helpFileOf(const QString &argument, QString *inner = nullptr)
{
    QString file = argument;
    const qsizetype marker = file.indexOf(QLatin1String("::"));
    if (marker >= 0) {
        if (inner)
            *inner = file.mid(marker + 2);
        file.truncate(marker);
    }
    const qsizetype window = file.lastIndexOf(QLatin1Char('>'));
    if (window >= 0 && !file.mid(window).contains(QLatin1Char('/')))
        file.truncate(window);
    return file;
}

QString keyOf(const QString &file)
{
    const QFileInfo info(file);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

WidgetHelpViewer::WidgetHelpViewer(Dialogs &dialogs) : m_dialogs(dialogs) {}

WidgetHelpViewer::~WidgetHelpViewer()
{
    closeAll();
}

HelpViewerWindow *WidgetHelpViewer::windowFor(const QString &file) const
{
    return m_windows.value(keyOf(helpFileOf(file))).data();
}

HelpPopupWindow *WidgetHelpViewer::popup() const
{
    return m_popup.data();
}

QList<HelpViewerWindow *> WidgetHelpViewer::windows() const
{
    QList<HelpViewerWindow *> list;
    for (const auto &w : m_windows) {
        if (w)
            list.append(w.data());
    }
    return list;
}

HelpViewerWindow *WidgetHelpViewer::openWindow(const QString &file, WindowHandle owner)
{
    const QString key = keyOf(file);
    HelpViewerWindow *window = m_windows.value(key).data();
    if (!window) {
        auto archive = ChmArchive::open(file);
        if (!archive)
            return nullptr;
        window = new HelpViewerWindow(std::move(archive));
        m_windows.insert(key, window);
    }
    // An owner keeps the help window above it.
    QWidget *ownerWidget = owner ? QWidget::find(WId(owner)) : nullptr;
    if (ownerWidget && window->parentWidget() != ownerWidget->window())
        window->setParent(ownerWidget->window(), Qt::Window);
    else if (!ownerWidget && window->parentWidget())
        window->setParent(nullptr, Qt::Window);
    return window;
}

WindowHandle WidgetHelpViewer::htmlHelp(WindowHandle owner, const QString &file, HelpCommand command,
                                        const HelpData &data)
{
    if (command == HelpCommand::CloseAll) {
        closeAll();
        return 0;
    }
    if (command == HelpCommand::DisplayTextPopup) {
        const auto *popup = std::get_if<HelpPopup>(&data);
        return popup ? showPopup(owner, file, *popup) : 0;
    }

    HelpViewerWindow *window = openWindow(helpFileOf(file), owner);
    if (!window)
        return 0;
    bool shown = true;
    switch (command) {
    case HelpCommand::DisplayTopic: {
        const auto *page = std::get_if<QString>(&data);
        shown = window->showPage(page ? *page : QString());
        break;
    }
    case HelpCommand::DisplayToc:
        window->showContents();
        break;
    case HelpCommand::DisplayIndex:
        window->showIndex();
        break;
    case HelpCommand::DisplaySearch: {
        const auto *query = std::get_if<HelpSearchQuery>(&data);
        window->showSearch(query ? query->text : QString(), query && query->execute);
        break;
    }
    case HelpCommand::HelpContext: {
        const auto *id = std::get_if<std::uint32_t>(&data);
        const auto page = id ? window->archive().topicForId(*id) : std::nullopt;
        shown = page && window->showPage(*page);
        break;
    }
    case HelpCommand::KeywordLookup:
    case HelpCommand::ALinkLookup: {
        const auto *query = std::get_if<HelpLinkQuery>(&data);
        shown = query && lookUp(*window, *query);
        break;
    }
    default:
        shown = false;
        break;
    }
    if (!shown) {
        if (!window->isVisible())
            window->close();
        return 0;
    }
    window->show();
    window->raise();
    window->activateWindow();
    return WindowHandle(window->winId());
}

bool WidgetHelpViewer::lookUp(HelpViewerWindow &window, const HelpLinkQuery &query)
{
    if (window.lookUp(query.keywords))
        return true;
    if (!query.msgText.isEmpty()) {
        m_dialogs.message(query.msgText, query.msgTitle, MessageIcon::None);
        return window.isVisible();
    }
    if (!query.url.isEmpty())
        return window.showPage(query.url);
    if (query.indexOnFail) {
        window.showIndex(query.keywords.section(QLatin1Char(';'), 0, 0));
        return true;
    }
    return false;
}

WindowHandle WidgetHelpViewer::showPopup(WindowHandle owner, const QString &file, const HelpPopup &popup)
{
    QString text = popup.text;
    if (!file.isEmpty()) {
        QString inner;
        const QString chm = helpFileOf(file, &inner);
        std::optional<QByteArray> bytes;
        if (HelpViewerWindow *window = windowFor(chm)) {
            bytes = window->archive().read(inner);
        } else if (auto archive = ChmArchive::open(chm)) {
            bytes = archive->read(inner);
        }
        const auto found = bytes ? popupText(QString::fromUtf8(*bytes), popup.resourceId) : std::nullopt;
        text = found.value_or(QString());
    } else if (text.isEmpty() && popup.resourceId != 0 && m_strings) {
        text = m_strings(popup.resourceId);
    }
    if (text.isEmpty())
        return 0;
    if (m_popup)
        m_popup->close();
    QWidget *ownerWidget = owner ? QWidget::find(WId(owner)) : nullptr;
    m_popup = new HelpPopupWindow(
        text, popup.font, popup.foreground, popup.background,
        QMargins(popup.marginLeft, popup.marginTop, popup.marginRight, popup.marginBottom),
        ownerWidget ? ownerWidget->window() : nullptr);
    m_popup->move(popup.position);
    m_popup->show();
    return WindowHandle(m_popup->winId());
}

void WidgetHelpViewer::closeAll()
{
    if (m_popup)
        m_popup->close();
    for (const auto &w : std::as_const(m_windows)) {
        if (w)
            w->close();
    }
    m_windows.clear();
}

bool WidgetHelpViewer::helpFileIsSound(const QString &file) const
{
    if (windowFor(file))
        return true;
    ChmOpenFailure failure = ChmOpenFailure::None;
    ChmArchive::open(helpFileOf(file), &failure);
    return failure != ChmOpenFailure::Damaged;
}

void WidgetHelpViewer::deleteSystemMenuItem(WindowHandle, int) {}

void WidgetHelpViewer::enterWhatsThisMode(WindowHandle)
{
    QWhatsThis::enterWhatsThisMode();
}

QPoint WidgetHelpViewer::cursorPosition() const
{
    return QCursor::pos();
}

QString WidgetHelpViewer::fileVersion(const QString &) const
{
    return QString();
}

} // namespace romwright
