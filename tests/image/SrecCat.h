#pragma once
// Runs srec_cat, an independent S-record implementation, to turn a file into
// the 64 KB image it describes, erased bytes 0xFF.

#include "image/MemoryImage.h"
#include "platform/FileSystem.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <optional>

namespace romwright::test {

inline QString srecCat()
{
    return QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
}

// The 64 KB image a file holds, nullopt when it is of another size.
inline std::optional<MemoryImage> imageOf(const QByteArray &bytes)
{
    if (bytes.size() != static_cast<qsizetype>(kImageSize))
        return std::nullopt;
    MemoryImage image;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

// nullopt when srec_cat fails; its messages go to *errors.
inline std::optional<MemoryImage> srecCatImage(const QString &input, const QString &output,
                                               QString *errors = nullptr)
{
    QProcess process;
    // -multiple: overlapping records are allowed and the later one wins.
    process.start(srecCat(), {QStringLiteral("-multiple"), input, QStringLiteral("-fill"),
                              QStringLiteral("0xFF"), QStringLiteral("0"), QStringLiteral("0x10000"),
                              QStringLiteral("-o"), output, QStringLiteral("-binary")});
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (errors)
            *errors = QString::fromLocal8Bit(process.readAllStandardError());
        return std::nullopt;
    }
    return imageOf(LocalFileSystem().read(output).bytes);
}

} // namespace romwright::test
