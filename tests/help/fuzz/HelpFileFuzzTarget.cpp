// Fuzz target of the help file's archive and sitemap path: whatever the
// bytes, opening them as a compiled help file, listing it and reading every
// page and both sitemaps ends, without a fault, and a sitemap never grows
// past its limits. Input that is not a compiled help file is read as a
// sitemap.

#include "help/ChmArchive.h"
#include "help/HelpSitemap.h"
#include "support/FuzzDriver.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

using namespace romwright;

namespace {

const auto check = &test::fuzzCheck;

void readSitemap(const QString &text)
{
    const auto entries = HelpSitemap::flatten(HelpSitemap::parse(text));
    check(entries.size() <= HelpSitemap::kMaxEntries, "more sitemap entries than the limit");
    for (const auto &[entry, depth] : entries)
        check(depth <= HelpSitemap::kMaxDepth, "sitemap nested deeper than the limit");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (!bytes.startsWith("ITSF")) {
        readSitemap(QString::fromUtf8(bytes));
        return 0;
    }
    // chmlib reads files only: the input goes to one that lives as long as the run.
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.chm"));
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
          "cannot write the input file");
    file.close();

    ChmOpenFailure failure = ChmOpenFailure::None;
    const auto archive = ChmArchive::open(path, &failure);
    check(bool(archive) == (failure == ChmOpenFailure::None), "an open failure without its kind");
    if (!archive)
        return 0;
    for (const QString &name : archive->files())
        archive->read(name);
    readSitemap(QString::fromUtf8(archive->read(archive->contentsFile()).value_or(QByteArray())));
    readSitemap(QString::fromUtf8(archive->read(archive->indexFile()).value_or(QByteArray())));
    archive->topicForId(1070);
    return 0;
}
