#include "platform/LineSettings.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace romwright {

namespace {

// Rates the control offered; anything else is a refused value.
constexpr std::array<qint32, 16> kRates = {110,   300,   600,   1200,  2400,  4800,   9600,   14400,
                                           19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000};

} // namespace

std::optional<LineSettings> LineSettings::parse(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    LineSettings s;
    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || std::find(kRates.begin(), kRates.end(), s.baud) == kRates.end())
        return std::nullopt;

    const QString parity = parts[1].trimmed().toLower();
    if (parity == QLatin1String("n"))
        s.parity = Parity::None;
    else if (parity == QLatin1String("e"))
        s.parity = Parity::Even;
    else if (parity == QLatin1String("o"))
        s.parity = Parity::Odd;
    else if (parity == QLatin1String("m"))
        s.parity = Parity::Mark;
    else if (parity == QLatin1String("s"))
        s.parity = Parity::Space;
    else
        return std::nullopt;

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return std::nullopt;
    s.dataBits = bits;

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        s.stopBits = StopBits::One;
    else if (stop == QLatin1String("1.5"))
        s.stopBits = StopBits::OneAndHalf;
    else if (stop == QLatin1String("2"))
        s.stopBits = StopBits::Two;
    else
        return std::nullopt;
    return s;
}

QString LineSettings::text() const
{
    static const char kParity[] = {'n', 'e', 'o', 'm', 's'};
    const char *stop = stopBits == StopBits::One ? "1" : stopBits == StopBits::Two ? "2" : "1.5";
    return QStringLiteral("%1,%2,%3,%4")
        .arg(QString::number(baud), QChar::fromLatin1(kParity[int(parity)]), QString::number(dataBits),
             QLatin1String(stop));
}

} // namespace romwright
