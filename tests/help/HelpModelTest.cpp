#include "help/HelpSearchIndex.h"
#include "help/HelpSitemap.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

using namespace romwright;

// Each sitemap as (top-level entries, all entries, deepest nesting): what can
// be read is kept, nesting and entry count stay within their limits.
TEST(HelpSitemap, ReadsWhatItCanWithinItsLimits)
{
    const QString nested = QStringLiteral(R"(
<OBJECT type="text/site properties"><param name="Window Styles" value="0x800025"></OBJECT>
<UL>
  <LI> <object TYPE='text/sitemap'><PARAM NAME=Name VALUE="Ports"><param name="Local" value="ports.html"></object>
  <UL>
    <LI> <OBJECT type="text/sitemap"><param name="Name" value="Linux"><param name="Local" value="ports.html#linux"></OBJECT>
    <UL>
      <LI> <OBJECT type="text/sitemap"><param name="Name" value="dialout"><param name="Local" value="ports.html#dialout"></OBJECT>
    </UL>
  </UL>
  <LI> <OBJECT type="text/sitemap"><param name="Name" value="Heading only"></OBJECT>
  <LI> <OBJECT type="text/sitemap"><param name="Name" value="lamps">
       <param name="Name" value="The main window"><param name="Local" value="main-window.html">
       <param name="Name" value="Updating"><param name="Local" value="updating.html"></OBJECT>
</UL>)");
    const QString entry =
        QStringLiteral(R"(<LI><OBJECT type="text/sitemap"><param name="Name" value="a"></OBJECT>)");
    const QString ul = QStringLiteral("<UL>"), end = QStringLiteral("</UL>");
    const struct {
        const char *what;
        QString html;
        std::size_t topLevel, total;
        int deepest;
    } cases[] = {
        {"chapters, a heading and an entry of two pages", nested, 3, 5, 2},
        {"empty", QString(), 0, 0, 0},
        {"not a sitemap", QStringLiteral("<html><body><p>text</p></body></html>"), 0, 0, 0},
        {"object of another type",
         QStringLiteral(R"(<UL><LI><OBJECT type="text/html"><param name="Name" value="x"></OBJECT></UL>)"), 0,
         0, 0},
        {"more closing than opening lists", end + end + ul + entry, 1, 1, 0},
        {"cut off inside an object",
         ul + entry + QStringLiteral(R"(<LI><OBJECT type="text/sitemap"><param na)"), 1, 1, 0},
        {"list opened before any entry", ul + ul + entry + end + end, 1, 1, 0},
        {"100,000 lists deep", (ul + entry).repeated(100000), 1, HelpSitemap::kMaxEntries,
         HelpSitemap::kMaxDepth - 1},
        {"100,000 entries in one list", ul + entry.repeated(100000), HelpSitemap::kMaxEntries,
         HelpSitemap::kMaxEntries, 0},
        {"too deep, then back to the top", entry + (ul + entry).repeated(40) + end.repeated(40) + entry, 2,
         42, HelpSitemap::kMaxDepth},
    };
    for (const auto &c : cases) {
        const auto tree = HelpSitemap::parse(c.html);
        const auto flat = HelpSitemap::flatten(tree);
        int deepest = 0;
        for (const auto &row : flat)
            deepest = std::max(deepest, row.second);
        EXPECT_EQ(std::make_tuple(tree.size(), flat.size(), deepest),
                  std::make_tuple(c.topLevel, c.total, c.deepest))
            << c.what;
    }
    // An index entry of several pages keeps each page's title.
    const SitemapEntry lamps = HelpSitemap::parse(nested).at(2);
    ASSERT_EQ(lamps.topics.size(), 2u);
    EXPECT_EQ(lamps.topics[0].title, QStringLiteral("The main window"));
    EXPECT_EQ(lamps.topics[1].local, QStringLiteral("updating.html"));
}

TEST(HelpSitemap, EntitiesAreDecoded)
{
    const std::pair<const char *, const char *> cases[] = {
        {"a &amp; b", "a & b"},     {"&lt;tag&gt;", "<tag>"},           {"&#65;&#x42;", "AB"},
        {"&bogus; &", "&bogus; &"}, {"&#0; &#xD800;", "&#0; &#xD800;"}, {"plain", "plain"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(decodeHtmlEntities(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

// Word forms meet in both directions; a word still matches the start of a
// longer one; endings that are part of the word stay.
TEST(HelpSearchIndex, WordFormsFindEachOther)
{
    HelpSearchIndex index;
    index.addPage(QStringLiteral("a.html"), QStringLiteral("<title>A</title>The update failed to start."));
    index.addPage(QStringLiteral("b.html"), QStringLiteral("<title>B</title>Boot software half replaced"));
    index.addPage(QStringLiteral("c.html"),
                  QStringLiteral("<title>C</title>Two halves; index entries; stopping"));
    index.addPage(QStringLiteral("d.html"), QStringLiteral("<title>D</title>A string of bytes; status"));
    const std::pair<const char *, const char *> rows[] = {
        {"fails", "A"},   {"fail", "A"},          {"failing", "A"},    {"updates", "A"},   {"updating", "A"},
        {"half", "B C"},  {"halves", "B C"},      {"replaces", "B"},   {"replacing", "B"}, {"entry", "C"},
        {"stops", "C"},   {"stopped", "C"},       {"strings", "D"},    {"stat", "D"},      {"str", "D"},
        {"failures", ""}, {"half replaced", "B"}, {"halve fails", ""},
    };
    for (const auto &[query, titles] : rows) {
        QStringList found;
        for (const SearchHit &hit : index.search(QLatin1String(query)))
            found << hit.title;
        found.sort();
        EXPECT_EQ(found.join(QLatin1Char(' ')).toStdString(), titles) << query;
    }
}
