#include "help/ChmArchive.h"

#include "help/ChmLayout.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <chm_lib.h>
#include <cstring>

namespace romwright {
namespace {

// Files of the help compiler's own ("#SYSTEM", "$FIftiMain", "::DataSpace")
// are not content.
bool isContent(const char *path)
{
    return path[0] == '/' && path[1] != '#' && path[1] != '$' && path[std::strlen(path) - 1] != '/';
}

int collectFile(chmFile *, chmUnitInfo *ui, void *context)
{
    if (isContent(ui->path))
        static_cast<QStringList *>(context)->append(QString::fromUtf8(ui->path));
    return CHM_ENUMERATOR_CONTINUE;
}

std::uint32_t le32(const QByteArray &data, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData() + at);
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint16_t le16(const QByteArray &data, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data.constData() + at);
    return std::uint16_t(p[0] | p[1] << 8);
}

QString zeroTerminated(const QByteArray &data, qsizetype from, qsizetype length)
{
    QByteArray s = data.mid(from, length);
    const qsizetype nul = s.indexOf('\0');
    if (nul >= 0)
        s.truncate(nul);
    return QString::fromLocal8Bit(s);
}

} // namespace

std::unique_ptr<ChmArchive> ChmArchive::open(const QString &path, ChmOpenFailure *failure)
{
    auto fail = [failure](ChmOpenFailure why) {
        if (failure)
            *failure = why;
        return nullptr;
    };
    if (failure)
        *failure = ChmOpenFailure::None;
    if (!QFile::exists(path))
        return fail(ChmOpenFailure::Missing);
    // The bytes checked are the bytes chmlib reads: it opens the file we hold
    // open, so a help file replaced meanwhile (an installer at work) is not
    // read unchecked.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile)
        return fail(ChmOpenFailure::Damaged);
    if (!chmLayoutIsSound(file.readAll()))
        return fail(ChmOpenFailure::Damaged);
    const QString held = QStringLiteral("/proc/self/fd/%1").arg(file.handle());
    chmFile *handle = chm_open(QFile::encodeName(QFile::exists(held) ? held : path).constData());
    if (!handle)
        return fail(ChmOpenFailure::Damaged);
    std::unique_ptr<ChmArchive> archive(new ChmArchive(handle));
    // Every compiled help file carries its system file and names its start
    // page there; a start page that cannot be read back means the compressed
    // section is damaged, and the viewer would show an empty window.
    if (!archive->readRaw("/#SYSTEM"))
        return fail(ChmOpenFailure::Damaged);
    archive->readSystemFile();
    if (!archive->m_defaultTopic.isEmpty() && !archive->read(archive->m_defaultTopic))
        return fail(ChmOpenFailure::Damaged);
    return archive;
}

ChmArchive::ChmArchive(chmFile *handle) : m_handle(handle) {}

ChmArchive::~ChmArchive()
{
    chm_close(m_handle);
}

QString ChmArchive::normalisePath(const QString &path)
{
    QString p = QUrl::fromPercentEncoding(path.toUtf8());
    const qsizetype marker = p.indexOf(QLatin1String("::"));
    if (marker >= 0)
        p = p.mid(marker + 2);
    const qsizetype fragment = p.indexOf(QLatin1Char('#'));
    if (fragment >= 0)
        p.truncate(fragment);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!p.startsWith(QLatin1Char('/')))
        p.prepend(QLatin1Char('/'));
    p = QDir::cleanPath(p);
    // A path that climbs above the archive's root stays inside it.
    while (p.startsWith(QLatin1String("/..")))
        p = p.mid(3);
    return p.isEmpty() ? QStringLiteral("/") : p;
}

std::optional<QByteArray> ChmArchive::read(const QString &path) const
{
    return readRaw(normalisePath(path).toUtf8());
}

std::optional<QByteArray> ChmArchive::readRaw(const QByteArray &name) const
{
    if (name.size() > CHM_MAX_PATHLEN)
        return std::nullopt;
    chmUnitInfo ui{};
    if (chm_resolve_object(m_handle, name.constData(), &ui) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (ui.length == 0)
        return name.endsWith('/') ? std::nullopt : std::optional<QByteArray>(QByteArray());
    constexpr LONGUINT64 kLargest = 64u * 1024u * 1024u; // no help page comes near this
    if (ui.length > kLargest)
        return std::nullopt;
    QByteArray data(qsizetype(ui.length), Qt::Uninitialized);
    const LONGINT64 got = chm_retrieve_object(m_handle, &ui, reinterpret_cast<unsigned char *>(data.data()),
                                              0, LONGINT64(ui.length));
    if (got != LONGINT64(ui.length))
        return std::nullopt;
    return data;
}

bool ChmArchive::contains(const QString &path) const
{
    const QByteArray name = normalisePath(path).toUtf8();
    chmUnitInfo ui{};
    return name.size() <= CHM_MAX_PATHLEN &&
           chm_resolve_object(m_handle, name.constData(), &ui) == CHM_RESOLVE_SUCCESS;
}

QStringList ChmArchive::files() const
{
    QStringList list;
    chm_enumerate(m_handle, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collectFile, &list);
    return list;
}

// "#SYSTEM": a version word, then records of (code, length, data). Codes 0 to
// 3 name the contents file, the index file, the start page and the title.
void ChmArchive::readSystemFile()
{
    const auto system = readRaw("/#SYSTEM");
    if (!system)
        return;
    qsizetype at = 4;
    while (at + 4 <= system->size()) {
        const std::uint16_t code = le16(*system, at);
        const std::uint16_t length = le16(*system, at + 2);
        at += 4;
        if (at + length > system->size())
            break;
        const QString text = zeroTerminated(*system, at, length);
        switch (code) {
        case 0:
            m_contentsFile = text;
            break;
        case 1:
            m_indexFile = text;
            break;
        case 2:
            m_defaultTopic = text;
            break;
        case 3:
            m_title = text;
            break;
        default:
            break;
        }
        at += length;
    }
    // Older compilers leave out the sitemap names; the files themselves are there.
    if (m_contentsFile.isEmpty() || m_indexFile.isEmpty()) {
        for (const QString &f : files()) {
            if (m_contentsFile.isEmpty() && f.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive))
                m_contentsFile = f;
            if (m_indexFile.isEmpty() && f.endsWith(QLatin1String(".hhk"), Qt::CaseInsensitive))
                m_indexFile = f;
        }
    }
}

// "#IVB" holds a byte count and pairs of (topic number, offset into
// "#STRINGS"); the string is the page's path as the compiler saw it, which may
// carry the folder it was compiled in. The longest tail of that path that
// names a file of the archive is the page.
std::optional<QString> ChmArchive::topicForId(std::uint32_t id) const
{
    const auto ivb = readRaw("/#IVB");
    const auto strings = readRaw("/#STRINGS");
    if (!ivb || !strings || ivb->size() < 4)
        return std::nullopt;
    const qsizetype end = std::min<qsizetype>(ivb->size(), 4 + qsizetype(le32(*ivb, 0)));
    for (qsizetype at = 4; at + 8 <= end; at += 8) {
        if (le32(*ivb, at) != id)
            continue;
        const std::uint32_t offset = le32(*ivb, at + 4);
        if (offset >= std::uint32_t(strings->size()))
            return std::nullopt;
        QString path = zeroTerminated(*strings, offset, strings->size() - offset);
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (qsizetype first = 0; first < parts.size(); ++first) {
            const QString candidate = QLatin1Char('/') + parts.mid(first).join(QLatin1Char('/'));
            if (contains(candidate))
                return candidate;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace romwright
