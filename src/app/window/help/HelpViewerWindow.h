#pragma once
// The help viewer's window for one compiled help file: contents, index and
// search beside the page, with back, forward and home. It opens inside the
// screen's free area and Esc closes it.

#include "help/ChmArchive.h"
#include "help/HelpSearchIndex.h"
#include "help/HelpSitemap.h"

#include <QMainWindow>
#include <memory>

class QLineEdit;
class QListWidget;
class QPushButton;
class QListWidgetItem;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace romwright {

class HelpBrowser;

// Shown in the tab in place of a contents or index that cannot be read.
inline constexpr const char *kDamagedHelpContents =
    "The contents of this help file are damaged and cannot be shown.";
inline constexpr const char *kDamagedHelpIndex =
    "The index of this help file is damaged and cannot be shown.";

class HelpViewerWindow : public QMainWindow {
    Q_OBJECT
public:
    // The window takes the opened archive and keeps it as long as it lives.
    explicit HelpViewerWindow(std::unique_ptr<ChmArchive> archive, QWidget *parent = nullptr);
    ~HelpViewerWindow() override;

    // Shows a page of the file ("about.html", "ports.html#linux"); an empty
    // text shows the start page. False when the file has no such page.
    bool showPage(const QString &local);
    void showContents();
    void showIndex(const QString &filter = QString());
    void showSearch(const QString &query, bool execute);
    // Keyword look-up in the file's index: the first page of the first
    // keyword found is shown, and the index lists the keyword. False when
    // none of the ';'-separated keywords is there.
    bool lookUp(const QString &keywords);

    const ChmArchive &archive() const { return *m_archive; }
    HelpBrowser *browser() const { return m_browser; }
    QTreeWidget *contentsTree() const { return m_contents; }
    QListWidget *indexList() const { return m_indexList; }
    QListWidget *searchResults() const { return m_results; }
    QLineEdit *searchField() const { return m_searchField; }
    QTabWidget *tabs() const { return m_tabs; }

private:
    // The Index and Search tabs; each gives its button.
    QPushButton *buildIndexPane();
    QPushButton *buildSearchPane();
    void buildToolBar();
    void connectPanes(QPushButton *display, QPushButton *searchButton);
    void fitToScreen();
    void buildContents();
    void buildIndex();
    void runSearch();
    void followLink(const QUrl &url);
    void syncContents(const QUrl &url);
    void selectIndexEntry(const QString &text);
    void showIndexItem(QListWidgetItem *item);
    const SitemapEntry *indexEntry(const QListWidgetItem *item) const;

    std::unique_ptr<ChmArchive> m_archive;
    std::vector<SitemapEntry> m_toc;
    std::vector<SitemapEntry> m_index;
    std::vector<std::pair<const SitemapEntry *, int>> m_indexRows;
    HelpSearchIndex m_search;
    QStringList m_searchWords;

    HelpBrowser *m_browser = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTreeWidget *m_contents = nullptr;
    QLineEdit *m_indexField = nullptr;
    QListWidget *m_indexList = nullptr;
    QLineEdit *m_searchField = nullptr;
    QListWidget *m_results = nullptr;
};

} // namespace romwright
