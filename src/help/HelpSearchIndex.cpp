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

bool isVowel(QChar c)
{
    return QStringView(u"aeiouy").contains(c);
}

bool hasVowel(QStringView text)
{
    return std::any_of(text.begin(), text.end(), isVowel);
}

} // namespace

QString HelpSearchIndex::stem(const QString &word)
{
    QString s = word;
    auto cut = [&s](qsizetype n, QStringView add = {}) {
        s.chop(n);
        s += add;
    };
    if (s.size() > 4 && s.endsWith(QLatin1String("ies"))) {
        cut(3, u"y"); // entries
    } else if (s.size() > 4 && s.endsWith(QLatin1String("ves"))) {
        cut(3, u"f"); // halves
    } else if (s.size() > 3 && s.endsWith(QLatin1String("sses"))) {
        cut(2); // passes
    } else if (s.size() > 3 && s.endsWith(QLatin1String("es")) &&
               (s.endsWith(QLatin1String("xes")) || s.endsWith(QLatin1String("ches")) ||
                s.endsWith(QLatin1String("shes")) || s.endsWith(QLatin1String("zes")))) {
        cut(2); // boxes, matches
    } else if (s.size() > 3 && s.endsWith(QLatin1Char('s')) && !s.endsWith(QLatin1String("ss")) &&
               !s.endsWith(QLatin1String("us")) && !s.endsWith(QLatin1String("is"))) {
        cut(1); // fails, but not pass, status, this
    } else {
        for (const QLatin1String ending : {QLatin1String("ing"), QLatin1String("ed")}) {
            const QStringView rest = QStringView(s).chopped(std::min(s.size(), ending.size()));
            // What stays must still read as a word: "string" and "need" keep their ends.
            if (!s.endsWith(ending) || rest.size() < 3 || !hasVowel(rest))
                continue;
            cut(ending.size());
            // stopped, running; but filled, passed
            const qsizetype n = s.size();
            if (s.at(n - 1) == s.at(n - 2) && !isVowel(s.at(n - 1)) &&
                !QStringView(u"lsz").contains(s.at(n - 1)))
                s.chop(1);
            break;
        }
    }
    // A final silent e: "replace" meets "replaced", "update" meets "updating".
    if (s.size() > 4 && s.endsWith(QLatin1Char('e')) && !s.endsWith(QLatin1String("ee")))
        s.chop(1);
    return s;
}

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
    for (const QString &word : std::as_const(p.words))
        p.stems << stem(word);
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
            const QString root = stem(w);
            qsizetype n = 0;
            for (qsizetype i = 0; i < page.words.size(); ++i)
                n += page.words[i].startsWith(w) || page.stems[i].startsWith(root) ? 1 : 0;
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
