#include "app/window/help/HelpViewerWindow.h"

#include "app/window/help/HelpBrowser.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <functional>
#include <optional>

namespace romwright {

namespace {
constexpr int kLocalRole = Qt::UserRole;
constexpr int kRowRole = Qt::UserRole + 1;

QString pathOf(const QString &local)
{
    return ChmArchive::normalisePath(local);
}

QString textOf(const ChmArchive &archive, const QString &file)
{
    const auto bytes = archive.read(file);
    return bytes ? QString::fromUtf8(*bytes) : QString();
}

// The entries of a sitemap; nullopt when the file names none, or one that
// cannot be read or holds no entry: its tab then says so.
std::optional<std::vector<SitemapEntry>> sitemapOf(const ChmArchive &archive, const QString &file)
{
    const auto bytes = file.isEmpty() ? std::nullopt : archive.read(file);
    if (!bytes)
        return std::nullopt;
    std::vector<SitemapEntry> entries = HelpSitemap::parse(QString::fromUtf8(*bytes));
    if (entries.empty())
        return std::nullopt;
    return entries;
}
} // namespace

HelpViewerWindow::HelpViewerWindow(std::unique_ptr<ChmArchive> archive, QWidget *parent)
    : QMainWindow(parent), m_archive(std::move(archive))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(m_archive->title().isEmpty() ? QStringLiteral("Help") : m_archive->title());

    m_browser = new HelpBrowser(*m_archive);
    m_tabs = new QTabWidget;

    m_contents = new QTreeWidget;
    m_contents->setHeaderHidden(true);
    m_contents->setRootIsDecorated(true);
    m_tabs->addTab(m_contents, tr("&Contents"));

    QPushButton *display = buildIndexPane();
    QPushButton *searchButton = buildSearchPane();

    auto *splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({270, 630});
    setCentralWidget(splitter);

    buildToolBar();
    connectPanes(display, searchButton);

    auto *closeAction = new QAction(this);
    closeAction->setShortcut(Qt::Key_Escape);
    closeAction->setShortcutContext(Qt::WindowShortcut);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);

    buildContents();
    buildIndex();
    fitToScreen();
}

QPushButton *HelpViewerWindow::buildIndexPane()
{
    auto *indexPane = new QWidget;
    auto *indexLayout = new QVBoxLayout(indexPane);
    indexLayout->addWidget(new QLabel(tr("Type in the keyword to find:")));
    m_indexField = new QLineEdit;
    indexLayout->addWidget(m_indexField);
    m_indexList = new QListWidget;
    indexLayout->addWidget(m_indexList);
    auto *display = new QPushButton(tr("&Display"));
    indexLayout->addWidget(display, 0, Qt::AlignRight);
    m_tabs->addTab(indexPane, tr("I&ndex"));
    return display;
}

QPushButton *HelpViewerWindow::buildSearchPane()
{
    auto *searchPane = new QWidget;
    auto *searchLayout = new QVBoxLayout(searchPane);
    searchLayout->addWidget(new QLabel(tr("Type in the word(s) to search for:")));
    m_searchField = new QLineEdit;
    searchLayout->addWidget(m_searchField);
    auto *searchButton = new QPushButton(tr("&List Topics"));
    searchLayout->addWidget(searchButton, 0, Qt::AlignRight);
    m_results = new QListWidget;
    searchLayout->addWidget(m_results);
    m_tabs->addTab(searchPane, tr("&Search"));
    return searchButton;
}

void HelpViewerWindow::buildToolBar()
{
    auto *bar = addToolBar(tr("Navigation"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QAction *back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("Back"));
    QAction *forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("Forward"));
    QAction *home = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("Home"));
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { showPage(QString()); });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
}

void HelpViewerWindow::connectPanes(QPushButton *display, QPushButton *searchButton)
{
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpViewerWindow::followLink);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpViewerWindow::syncContents);
    connect(m_contents, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        const QString local = item->data(0, kLocalRole).toString();
        if (!local.isEmpty())
            showPage(local);
    });
    connect(m_contents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        const QString local = item->data(0, kLocalRole).toString();
        if (!local.isEmpty())
            showPage(local);
    });
    connect(m_indexField, &QLineEdit::textEdited, this, &HelpViewerWindow::selectIndexEntry);
    connect(m_indexField, &QLineEdit::returnPressed, this,
            [this] { showIndexItem(m_indexList->currentItem()); });
    connect(m_indexList, &QListWidget::itemActivated, this, &HelpViewerWindow::showIndexItem);
    connect(display, &QPushButton::clicked, this, [this] { showIndexItem(m_indexList->currentItem()); });
    connect(m_searchField, &QLineEdit::returnPressed, this, &HelpViewerWindow::runSearch);
    connect(searchButton, &QPushButton::clicked, this, &HelpViewerWindow::runSearch);
    connect(m_results, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        if (!item || !showPage(item->data(kLocalRole).toString()))
            return;
        // Mark the first place the searched word stands on the page.
        for (const QString &word : m_searchWords) {
            // "fails" found the page by "failed": mark the shared stem then.
            if (m_browser->find(word) || m_browser->find(HelpSearchIndex::stem(word)))
                break;
        }
    });
}

void HelpViewerWindow::fitToScreen()
{
    // 900 x 600 where there is room, but never more than the screen's free
    // area at the present scale, with a margin for the frame, so that the
    // title bar and the close button stay on the screen.
    const QRect room = screen()->availableGeometry();
    const QSize wanted(900, 600);
    resize(wanted.boundedTo(room.size() * 9 / 10).expandedTo(minimumSizeHint().boundedTo(room.size())));
    move(room.center() - rect().center());
}

HelpViewerWindow::~HelpViewerWindow() = default;

void HelpViewerWindow::buildContents()
{
    auto toc = sitemapOf(*m_archive, m_archive->contentsFile());
    if (!toc) {
        auto *item = new QTreeWidgetItem(m_contents, {tr(kDamagedHelpContents)});
        item->setFlags(Qt::ItemIsEnabled);
        item->setIcon(0, style()->standardIcon(QStyle::SP_MessageBoxWarning));
        return;
    }
    m_toc = std::move(*toc);
    std::function<void(const std::vector<SitemapEntry> &, QTreeWidgetItem *)> add =
        [&](const std::vector<SitemapEntry> &entries, QTreeWidgetItem *parent) {
            for (const auto &e : entries) {
                auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_contents);
                item->setText(0, e.name);
                if (!e.topics.empty())
                    item->setData(0, kLocalRole, e.topics.front().local);
                item->setIcon(
                    0, style()->standardIcon(e.children.empty() ? QStyle::SP_FileIcon : QStyle::SP_DirIcon));
                add(e.children, item);
            }
        };
    add(m_toc, nullptr);
}

void HelpViewerWindow::buildIndex()
{
    auto index = sitemapOf(*m_archive, m_archive->indexFile());
    if (!index) {
        auto *item = new QListWidgetItem(style()->standardIcon(QStyle::SP_MessageBoxWarning),
                                         tr(kDamagedHelpIndex), m_indexList);
        item->setFlags(Qt::ItemIsEnabled);
        item->setData(kRowRole, -1);
        return;
    }
    m_index = std::move(*index);
    m_indexRows = HelpSitemap::flatten(m_index);
    for (std::size_t row = 0; row < m_indexRows.size(); ++row) {
        const auto &[entry, depth] = m_indexRows[row];
        auto *item = new QListWidgetItem(QString(depth * 4, QLatin1Char(' ')) + entry->name, m_indexList);
        item->setData(kRowRole, int(row));
    }
}

const SitemapEntry *HelpViewerWindow::indexEntry(const QListWidgetItem *item) const
{
    if (!item)
        return nullptr;
    const int row = item->data(kRowRole).toInt();
    return row >= 0 && std::size_t(row) < m_indexRows.size() ? m_indexRows[std::size_t(row)].first : nullptr;
}

void HelpViewerWindow::showIndexItem(QListWidgetItem *item)
{
    const SitemapEntry *entry = indexEntry(item);
    if (entry && !entry->topics.empty())
        showPage(entry->topics.front().local);
}

void HelpViewerWindow::selectIndexEntry(const QString &text)
{
    const QString wanted = text.trimmed();
    for (int i = 0; i < m_indexList->count(); ++i) {
        const SitemapEntry *entry = indexEntry(m_indexList->item(i));
        if (entry && entry->name.startsWith(wanted, Qt::CaseInsensitive)) {
            m_indexList->setCurrentRow(i);
            m_indexList->scrollToItem(m_indexList->item(i), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

bool HelpViewerWindow::showPage(const QString &local)
{
    QString target = local.trimmed();
    if (target.isEmpty())
        target = m_archive->defaultTopic();
    if (target.isEmpty() || !m_archive->contains(pathOf(target)))
        return false;
    const QUrl url = HelpBrowser::pageUrl(target);
    if (url != m_browser->source())
        m_browser->setSource(url);
    return true;
}

void HelpViewerWindow::showContents()
{
    m_tabs->setCurrentWidget(m_contents);
    if (m_browser->currentPage().isEmpty())
        showPage(QString());
}

void HelpViewerWindow::showIndex(const QString &filter)
{
    m_tabs->setCurrentIndex(1);
    if (!filter.isEmpty()) {
        m_indexField->setText(filter);
        selectIndexEntry(filter);
    }
    m_indexField->setFocus();
    if (m_browser->currentPage().isEmpty())
        showPage(QString());
}

void HelpViewerWindow::showSearch(const QString &query, bool execute)
{
    m_tabs->setCurrentIndex(2);
    m_searchField->setText(query);
    m_searchField->setFocus();
    if (execute)
        runSearch();
    if (m_browser->currentPage().isEmpty())
        showPage(QString());
}

void HelpViewerWindow::runSearch()
{
    if (m_search.isEmpty()) {
        for (const QString &file : m_archive->files()) {
            if (file.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
                file.endsWith(QLatin1String(".html"), Qt::CaseInsensitive))
                m_search.addPage(file, textOf(*m_archive, file));
        }
    }
    m_results->clear();
    m_searchWords = HelpSearchIndex::queryWords(m_searchField->text());
    for (const SearchHit &hit : m_search.search(m_searchField->text())) {
        auto *item = new QListWidgetItem(hit.title, m_results);
        item->setData(kLocalRole, hit.page);
        item->setToolTip(tr("%n hit(s)", nullptr, hit.hits));
    }
    if (m_results->count() > 0)
        m_results->setCurrentRow(0);
}

bool HelpViewerWindow::lookUp(const QString &keywords)
{
    for (const QString &keyword : keywords.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString wanted = keyword.trimmed();
        for (const auto &[entry, depth] : m_indexRows) {
            if (entry->name.compare(wanted, Qt::CaseInsensitive) != 0 || entry->topics.empty())
                continue;
            // The index shows where the page came from; with several pages
            // it comes to the front so the others can be chosen.
            m_indexField->setText(entry->name);
            selectIndexEntry(entry->name);
            if (entry->topics.size() > 1)
                showIndex(entry->name);
            return showPage(entry->topics.front().local);
        }
    }
    return false;
}

void HelpViewerWindow::followLink(const QUrl &url)
{
    const QUrl target = m_browser->source().resolved(url);
    if (target.scheme() == QLatin1String(HelpBrowser::kScheme)) {
        if (target.path() == m_browser->source().path() && target.hasFragment())
            m_browser->scrollToAnchor(target.fragment());
        else
            showPage(target.path() +
                     (target.hasFragment() ? QLatin1Char('#') + target.fragment() : QString()));
        return;
    }
    const QString scheme = target.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto"))
        QDesktopServices::openUrl(target);
}

void HelpViewerWindow::syncContents(const QUrl &url)
{
    const QString page = url.path();
    const QString fragment = url.fragment();
    QTreeWidgetItem *best = nullptr;
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        const QString local = (*it)->data(0, kLocalRole).toString();
        if (local.isEmpty() || pathOf(local).compare(page, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype hash = local.indexOf(QLatin1Char('#'));
        const QString itemFragment = hash >= 0 ? local.mid(hash + 1) : QString();
        if (!best || itemFragment == fragment)
            best = *it;
        if (itemFragment == fragment)
            break;
    }
    if (best) {
        const QSignalBlocker blocker(m_contents);
        m_contents->setCurrentItem(best);
        m_contents->scrollToItem(best);
    }
}

} // namespace romwright
