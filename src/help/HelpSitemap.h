#pragma once
// The sitemaps of a compiled help file: the contents (.hhc) and the index
// (.hhk). Both are HTML lists of <OBJECT type="text/sitemap"> entries whose
// <param> children give a name and one or more pages; nested lists are
// chapters or sub-keywords.

#include <QString>
#include <vector>

namespace romwright {

struct SitemapTopic {
    QString title; // empty: the entry's own name
    QString local; // page inside the help file, possibly with "#anchor"
};

struct SitemapEntry {
    QString name;
    std::vector<SitemapTopic> topics;
    std::vector<SitemapEntry> children;
};

class HelpSitemap {
public:
    // A sitemap is read from a file anyone may have changed: lists nested
    // deeper than kMaxDepth add to the deepest list allowed, and reading
    // stops after kMaxEntries entries, so neither the tree nor the widgets
    // built from it can grow without bound.
    static constexpr int kMaxDepth = 32;
    static constexpr std::size_t kMaxEntries = 10000;

    // Reads what it can: a damaged sitemap gives the entries before the damage.
    static std::vector<SitemapEntry> parse(const QString &html);

    // Every entry of the tree in reading order, with its depth (0 at the top).
    static std::vector<std::pair<const SitemapEntry *, int>> flatten(const std::vector<SitemapEntry> &tree);
};

// Text with its HTML character references (&amp;, &#233;, &#x2014;) decoded.
QString decodeHtmlEntities(const QString &text);

} // namespace romwright
