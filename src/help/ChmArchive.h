#pragma once
// Read access to a compiled help file: its pages, pictures and sitemaps by
// path, and the facts the compiler recorded (title, start page, contents and
// index files, topic numbers).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

struct chmFile;

namespace romwright {

enum class ChmOpenFailure { None, Missing, Damaged };

class ChmArchive {
public:
    // nullptr when the file is missing, or is not a compiled help file or a
    // damaged one (failure tells which). A damaged file is refused before
    // chmlib reads any of it (see ChmLayout.h).
    static std::unique_ptr<ChmArchive> open(const QString &path, ChmOpenFailure *failure = nullptr);
    ~ChmArchive();
    ChmArchive(const ChmArchive &) = delete;
    ChmArchive &operator=(const ChmArchive &) = delete;

    // Paths are inside the archive, with or without the leading '/'; "./" and
    // "../" are resolved and %XX escapes decoded. Case does not matter.
    std::optional<QByteArray> read(const QString &path) const;
    bool contains(const QString &path) const;

    // Every ordinary file (pages, pictures, sitemaps), as "/name".
    QStringList files() const;

    QString title() const { return m_title; }
    QString defaultTopic() const { return m_defaultTopic; }
    QString contentsFile() const { return m_contentsFile; }
    QString indexFile() const { return m_indexFile; }

    // The page a topic number is mapped to, as a path inside the archive.
    std::optional<QString> topicForId(std::uint32_t id) const;

    // The archive path of a link or page name, as read() takes it.
    static QString normalisePath(const QString &path);

    // Larger files are refused: no help file comes near this, and the whole
    // file is read to be checked.
    static constexpr qint64 kLargestFile = 256 * 1024 * 1024;

private:
    explicit ChmArchive(chmFile *handle);
    void readSystemFile();
    std::optional<QByteArray> readRaw(const QByteArray &name) const;

    chmFile *m_handle;
    QString m_title, m_defaultTopic, m_contentsFile, m_indexFile;
};

} // namespace romwright
