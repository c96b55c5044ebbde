#include "app/startup/CommandLineOptions.h"

#include "platform/FileSystem.h"

#include <cstdio>

namespace romwright {

QString usageErrorText(const QString &why)
{
    return QStringLiteral("romwright: %1\nsee romwright --help\n").arg(why);
}

void printUsageError(const QString &why)
{
    std::fputs(usageErrorText(why).toLocal8Bit().constData(), stderr);
}

bool looksLikeOption(const QString &argument)
{
    return argument.size() > 1 && argument[0] == QLatin1Char('-') && !argument[1].isDigit();
}

bool OptionReader::next()
{
    return ++m_index < m_arguments.size();
}

bool OptionReader::firstTime()
{
    // A second one would silently win over the first.
    if (m_given.contains(argument())) {
        m_error = QStringLiteral("%1 is given twice").arg(argument());
        return false;
    }
    m_given << argument();
    return true;
}

std::optional<QString> OptionReader::value(const QString &takes)
{
    const QString option = argument();
    if (m_index + 1 >= m_arguments.size()) {
        m_error = QStringLiteral("%1 takes %2").arg(option, takes);
        return std::nullopt;
    }
    const QString &value = m_arguments[m_index + 1];
    if (looksLikeOption(value)) {
        m_error = QStringLiteral("%1 takes %2, not the option %3").arg(option, takes, displayFileName(value));
        return std::nullopt;
    }
    ++m_index;
    return value;
}

std::optional<bool> jsonOnlyOptions(const QStringList &arguments, const QString &command)
{
    bool json = false;
    OptionReader reader(arguments);
    while (reader.next()) {
        const QString &argument = reader.argument();
        if (argument != QLatin1String("--json") && argument != command) {
            printUsageError(QStringLiteral("unknown argument: %1").arg(displayFileName(argument)));
            return std::nullopt;
        }
        if (!reader.firstTime()) {
            printUsageError(reader.error());
            return std::nullopt;
        }
        json = json || argument == QLatin1String("--json");
    }
    return json;
}

std::optional<QString> OptionReader::optionalValue()
{
    if (m_index + 1 >= m_arguments.size() || looksLikeOption(m_arguments[m_index + 1]))
        return std::nullopt;
    return m_arguments[++m_index];
}

} // namespace romwright
