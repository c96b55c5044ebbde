#include "app/common/WindowCommandLine.h"

namespace romwright {

std::optional<WindowCommandLine> parseWindowCommandLine(const QStringList &arguments)
{
    const QString line = arguments.join(QLatin1Char(' '));
    if (line.isEmpty())
        return std::nullopt;
    const QStringList fields = line.split(QLatin1Char(','));
    WindowCommandLine result;
    result.file = fields.value(0);
    result.port = fields.value(1);
    result.model = fields.value(2);
    return result;
}

} // namespace romwright
