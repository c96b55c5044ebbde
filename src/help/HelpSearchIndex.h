#pragma once
// Full-text search over the pages of a help file: a page matches when it
// holds every word of the query (case does not matter, a word matches the
// start of a longer word, and word forms meet: "fails" finds "failed");
// pages with more hits come first.

#include <QString>
#include <QStringList>
#include <vector>

namespace romwright {

struct SearchHit {
    QString page;
    QString title;
    int hits = 0;
};

class HelpSearchIndex {
public:
    // Adds a page by its path and its HTML; the title comes from <title>.
    void addPage(const QString &page, const QString &html);

    std::vector<SearchHit> search(const QString &query) const;

    // The words of a query, as search() matches them.
    static QStringList queryWords(const QString &query);

    // A word without its English ending: "fails", "failed", "failing" all
    // give "fail", "halves" gives "half". Lower case in, lower case out.
    static QString stem(const QString &word);

    // The visible text of an HTML page: no tags, scripts or styles; entities decoded.
    static QString plainText(const QString &html);

    bool isEmpty() const { return m_pages.empty(); }

private:
    struct Page {
        QString page;
        QString title;
        QStringList words; // lower case, in reading order
        QStringList stems; // the stem of each word
    };
    std::vector<Page> m_pages;
};

} // namespace romwright
