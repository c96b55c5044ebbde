#pragma once
// A settings string such as "38400,n,8,1": rate, parity, data bits and stop
// bits, as every serial transport takes them. Only the rates the control
// offered are accepted.

#include <QString>
#include <QtGlobal>

#include <optional>

namespace romwright {

struct LineSettings {
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8; // 5..8
    StopBits stopBits = StopBits::One;

    // Empty when the text is not a settings string the port takes.
    static std::optional<LineSettings> parse(const QString &text);
    // The settings string, e.g. "38400,n,8,1".
    QString text() const;
    bool operator==(const LineSettings &) const = default;
};

} // namespace romwright
