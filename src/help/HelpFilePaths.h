#pragma once
// How the help class reads the paths of help files: Windows paths from the
// registry and the program's own, with either separator.

#include <QLatin1StringView>
#include <QString>

namespace romwright::helppaths {

// The last three characters are ending, in any case ("chm", "txt").
bool endsWith(const QString &text, QLatin1StringView ending);

// Help files may be named with either separator: the registry and the
// Windows paths use '\\', the program's own folder elsewhere uses '/'.
qsizetype lastSeparator(const QString &path);

QString fileNameOf(const QString &path);

// A registered path as the file system knows it: without quotes, with
// %VARIABLES% expanded and short (8.3) names made long.
QString plainLongPath(QString path);

} // namespace romwright::helppaths
