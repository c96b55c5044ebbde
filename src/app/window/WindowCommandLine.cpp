#include "app/window/WindowCommandLine.h"

#include "platform/FileSystem.h"

#include <QDir>

namespace romwright {

bool namesPath(const QString &name)
{
#ifdef Q_OS_WIN
    return name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
           name.contains(QLatin1Char(':'));
#else
    return name.contains(QLatin1Char('/'));
#endif
}

std::optional<WindowCommandLine> parseWindowCommandLine(const QStringList &arguments)
{
    const QString line = arguments.join(QLatin1Char(' '));
    if (line.isEmpty())
        return std::nullopt;
    WindowCommandLine result;
    QString named;
    if (namesPath(line) && LocalFileSystem().fileExists(line)) {
        result.file = named = line;
    } else {
        const QStringList fields = line.split(QLatin1Char(','));
        result.file = fields.value(0);
        result.port = fields.value(1);
        result.model = fields.value(2);
        named = result.file.trimmed();
    }
    // A relative path is taken from the folder the program was started in;
    // a path that leads nowhere is still this one, and said missing when opened.
    if (namesPath(named))
        result.path =
            QDir::cleanPath(QDir::isAbsolutePath(named) ? named : QDir::current().absoluteFilePath(named));
    return result;
}

} // namespace romwright
