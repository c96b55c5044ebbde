#include "help/HelpSearchIndex.h"

#include "help/HelpSitemap.h"

#include <QRegularExpression>
#include <algorithm>

namespace romwright {

namespace {

QStringList wordsOf(const QString &text)
{
    static const QRegularExpression nonWord(QStringLiteral("[^\\w]+"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return text.toLower().split(nonWord, Qt::SkipEmptyParts);
}

} // namespace

QString HelpSearchIndex::plainText(const QString &html)
{
    static const QRegularExpression hidden(QStringLiteral("<(script|style|head)\\b.*?</\\1\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString text = html;
    text.remove(comment);
    text.remove(hidden);
    text.replace(tag, QStringLiteral(" "));
    return decodeHtmlEntities(text).simplified();
}

void HelpSearchIndex::addPage(const QString &page, const QString &html)
{
    static const QRegularExpression title(QStringLiteral("<title[^>]*>(.*?)</title\\s*>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const auto m = title.match(html);
    Page p;
    p.page = page;
    p.title = m.hasMatch() ? decodeHtmlEntities(m.captured(1)).simplified() : page;
    const QString body = plainText(html);
    // The title counts as text of the page even though the head is hidden.
    p.words = wordsOf(p.title + QLatin1Char(' ') + body);
    m_pages.push_back(std::move(p));
}

QStringList HelpSearchIndex::queryWords(const QString &query)
{
    return wordsOf(query);
}

std::vector<SearchHit> HelpSearchIndex::search(const QString &query) const
{
    const QStringList wanted = queryWords(query);
    std::vector<SearchHit> hits;
    if (wanted.isEmpty())
        return hits;
    for (const auto &page : m_pages) {
        int total = 0;
        bool all = true;
        for (const QString &w : wanted) {
            const auto n = std::count_if(page.words.cbegin(), page.words.cend(),
                                         [&w](const QString &word) { return word.startsWith(w); });
            if (n == 0) {
                all = false;
                break;
            }
            total += int(n);
        }
        if (all)
            hits.push_back({page.page, page.title, total});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const SearchHit &a, const SearchHit &b) {
        return a.hits != b.hits ? a.hits > b.hits : a.title.localeAwareCompare(b.title) < 0;
    });
    return hits;
}

} // namespace romwright
