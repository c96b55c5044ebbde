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
    const QString other =
        QStringLiteral(R"(<UL><LI><OBJECT type="text/html"><param name="Name" value="x"></OBJECT>)");
    const QString cut = QStringLiteral(R"(<LI><OBJECT type="text/sitemap"><param na)"),
                  ul = QStringLiteral("<UL>"), end = QStringLiteral("</UL>");
    const std::size_t most = HelpSitemap::kMaxEntries;
    const int deepest = HelpSitemap::kMaxDepth;
    // The last: too deep, then back to the top.
    const std::tuple<QString, std::size_t, std::size_t, int> cases[] = {
        {nested, 3, 5, 2},
        {QString(), 0, 0, 0},
        {other, 0, 0, 0},
        {end + end + ul + entry, 1, 1, 0},
        {ul + entry + cut, 1, 1, 0},
        {(ul + entry).repeated(100000), 1, most, deepest - 1},
        {ul + entry.repeated(100000), most, most, 0},
        {entry + (ul + entry).repeated(40) + end.repeated(40) + entry, 2, 42, deepest},
    };
    for (const auto &[html, topLevel, total, depth] : cases) {
        const auto tree = HelpSitemap::parse(html);
        const auto flat = HelpSitemap::flatten(tree);
        int reached = 0;
        for (const auto &row : flat)
            reached = std::max(reached, row.second);
        EXPECT_EQ(std::make_tuple(tree.size(), flat.size(), reached), std::make_tuple(topLevel, total, depth))
            << qPrintable(html.left(60));
    }
    // An index entry of several pages keeps each page's title.
    const SitemapEntry lamps = HelpSitemap::parse(nested).at(2);
    ASSERT_EQ(lamps.topics.size(), 2u);
    EXPECT_EQ(lamps.topics[0].title, QStringLiteral("The main window"));
    EXPECT_EQ(lamps.topics[1].local, QStringLiteral("updating.html"));
}
