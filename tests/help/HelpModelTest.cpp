#include "help/HelpPopupFile.h"
#include "help/HelpSearchIndex.h"
#include "help/HelpSitemap.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

using namespace romwright;

TEST(HelpSitemap, NestedListsBecomeChaptersAndEntriesKeepEachPagesTitle)
{
    const QString hhc = QStringLiteral(R"(
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
    const auto tree = HelpSitemap::parse(hhc);
    ASSERT_EQ(tree.size(), 3u);
    ASSERT_EQ(tree[0].children.size(), 1u);
    EXPECT_EQ(tree[0].children[0].topics.at(0).local, QStringLiteral("ports.html#linux"));
    EXPECT_TRUE(tree[1].topics.empty());
    // An index entry with several pages keeps each page's title.
    ASSERT_EQ(tree[2].topics.size(), 2u);
    EXPECT_EQ(tree[2].topics[0].title, QStringLiteral("The main window"));
    EXPECT_EQ(tree[2].topics[1].local, QStringLiteral("updating.html"));

    const auto flat = HelpSitemap::flatten(tree);
    ASSERT_EQ(flat.size(), 5u);
    EXPECT_EQ(flat[2].first->name, QStringLiteral("dialout"));
    EXPECT_EQ(flat[2].second, 2);
    EXPECT_EQ(flat[3].second, 0);
}

TEST(HelpSitemap, DamagedOrForeignInputGivesWhatCanBeRead)
{
    const struct {
        const char *what;
        const char *html;
        std::size_t entries;
    } cases[] = {
        {"empty", "", 0},
        {"not a sitemap", "<html><body><p>text</p></body></html>", 0},
        {"object of another type",
         R"(<UL><LI><OBJECT type="text/html"><param name="Name" value="x"></OBJECT></UL>)", 0},
        {"more closing than opening lists",
         R"(</UL></UL><UL><LI><OBJECT type="text/sitemap"><param name="Name" value="a"></OBJECT>)", 1},
        {"cut off inside an object",
         R"(<UL><LI><OBJECT type="text/sitemap"><param name="Name" value="a"></OBJECT><LI><OBJECT type="text/sitemap"><param name="Na)",
         1},
        {"list opened before any entry",
         R"(<UL><UL><LI><OBJECT type="text/sitemap"><param name="Name" value="a"></OBJECT></UL></UL>)", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(HelpSitemap::parse(QString::fromLatin1(c.html)).size(), c.entries) << c.what;
}

TEST(HelpSitemap, NestingAndEntryCountAreBounded)
{
    const QString entry =
        QStringLiteral(R"(<LI><OBJECT type="text/sitemap"><param name="Name" value="x"></OBJECT>)");
    const QString ul = QStringLiteral("<UL>"), end = QStringLiteral("</UL>");
    const struct {
        const char *what;
        QString html;
        std::size_t topLevel, total;
        int deepest;
    } cases[] = {
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
