#include "help/HelpSitemap.h"

#include <QHash>
#include <QRegularExpression>
#include <optional>

namespace romwright {

QString decodeHtmlEntities(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    static const QHash<QString, QString> named{
        {QStringLiteral("amp"), QStringLiteral("&")},      {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},       {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},     {QStringLiteral("nbsp"), QString(QChar(0xA0))},
        {QStringLiteral("mdash"), QString(QChar(0x2014))}, {QStringLiteral("ndash"), QString(QChar(0x2013))},
        {QStringLiteral("copy"), QString(QChar(0xA9))},
    };
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6}|[A-Za-z]{2,8});"));
    QString out;
    qsizetype from = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += text.mid(from, m.capturedStart() - from);
        const QString body = m.captured(1);
        QString replacement = m.captured(0);
        if (body.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = body.at(1).toLower() == QLatin1Char('x') ? body.mid(2).toUInt(&ok, 16)
                                                                       : body.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                const char32_t c = code;
                replacement = QString::fromUcs4(&c, 1);
            }
        } else if (auto n = named.constFind(body.toLower()); n != named.constEnd()) {
            replacement = *n;
        }
        out += replacement;
        from = m.capturedEnd();
    }
    out += text.mid(from);
    return out;
}

namespace {

QHash<QString, QString> attributes(const QString &text)
{
    static const QRegularExpression attribute(
        QStringLiteral(R"re((\w[\w-]*)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"));
    QHash<QString, QString> result;
    for (auto it = attribute.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        QString value = m.captured(2);
        if (m.capturedStart(2) < 0)
            value = m.capturedStart(3) >= 0 ? m.captured(3) : m.captured(4);
        result.insert(m.captured(1).toLower(), decodeHtmlEntities(value));
    }
    return result;
}

} // namespace

std::vector<SitemapEntry> HelpSitemap::parse(const QString &html)
{
    static const QRegularExpression tag(QStringLiteral(R"(<\s*(/?)\s*([A-Za-z]+)([^>]*)>)"));
    std::vector<SitemapEntry> root;
    // The lists being filled, innermost last. A nested list belongs to the
    // entry before it; a list with no entry before it adds to its parent.
    std::vector<std::vector<SitemapEntry> *> lists{&root};
    int levelsIgnored = 0;
    std::size_t entries = 0;
    std::optional<SitemapEntry> current;
    bool nameSeen = false;
    QString pendingTitle;

    for (auto it = tag.globalMatch(html); it.hasNext() && entries < kMaxEntries;) {
        const auto m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        if (name == QLatin1String("ul")) {
            if (!closing && lists.size() > std::size_t(kMaxDepth)) {
                ++levelsIgnored;
            } else if (!closing) {
                auto *list = lists.back();
                lists.push_back(list->empty() ? list : &list->back().children);
            } else if (levelsIgnored > 0) {
                --levelsIgnored;
            } else if (lists.size() > 1) {
                lists.pop_back();
            }
        } else if (name == QLatin1String("object")) {
            if (!closing) {
                if (attributes(m.captured(3))
                        .value(QStringLiteral("type"))
                        .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0) {
                    current.emplace();
                    nameSeen = false;
                    pendingTitle.clear();
                }
            } else if (current) {
                if (!current->name.isEmpty() || !current->topics.empty()) {
                    lists.back()->push_back(std::move(*current));
                    ++entries;
                }
                current.reset();
            }
        } else if (name == QLatin1String("param") && current) {
            const auto attrs = attributes(m.captured(3));
            const QString key = attrs.value(QStringLiteral("name")).toLower();
            const QString value = attrs.value(QStringLiteral("value"));
            if (key == QLatin1String("name")) {
                // The first Name names the entry; later ones title the pages that follow.
                if (!nameSeen)
                    current->name = value;
                else
                    pendingTitle = value;
                nameSeen = true;
            } else if (key == QLatin1String("local")) {
                current->topics.push_back({pendingTitle, value});
                pendingTitle.clear();
            }
        }
    }
    return root;
}

namespace {
void walk(const std::vector<SitemapEntry> &entries, int depth,
          std::vector<std::pair<const SitemapEntry *, int>> &out)
{
    for (const auto &e : entries) {
        out.emplace_back(&e, depth);
        walk(e.children, depth + 1, out);
    }
}
} // namespace

std::vector<std::pair<const SitemapEntry *, int>> HelpSitemap::flatten(const std::vector<SitemapEntry> &tree)
{
    std::vector<std::pair<const SitemapEntry *, int>> out;
    walk(tree, 0, out);
    return out;
}

} // namespace romwright
