// docs/protocol.md names each letter, rate, pause and bound beside its value:
// every value in its tables must be the program's, and every one of the
// program's must be there.
#include "family/BootLetters.h"
#include "family/ScannerFamilies.h"
#include "flash/BlockRecords.h"
#include "flash/BootloaderLink.h"
#include "flash/FlashTimings.h"
#include "scanner/IdentityQuery.h"
#include "scanner/PortSearch.h"
#include "scanner/ScannerTimings.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <map>

using namespace romwright;

namespace {

// "0x52", "0x0050": upper-case digits, at least `digits` of them.
QString hex(unsigned value, int digits)
{
    return QStringLiteral("0x") +
           QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString withUnit(long long value, const char *unit)
{
    return QString::number(value) + QLatin1Char(' ') + QLatin1String(unit);
}

// The document's spelling of each named value, from the program's constants.
std::map<QString, QString> programValues()
{
    std::map<QString, QString> v;
    const std::pair<const char *, QByteArray> letters[] = {
        {"kRequestMain", letter::kRequestMain},
        {"kRequestBarCode", letter::kRequestBarCode},
        {"kGreetingOld", QByteArray(1, letter::kGreetingOld)},
        {"kGreeting64", QByteArray(1, letter::kGreeting64)},
        {"kGreeting128", QByteArray(1, letter::kGreeting128)},
        {"kSendRamLoader", QByteArray(1, letter::kSendRamLoader)},
        {"kReady", QByteArray(1, letter::kReady)},
        {"kBinaryRecord", QByteArray(1, letter::kBinaryRecord)},
        {"kBeginPass", QByteArray(1, letter::kBeginPass)},
        {"kPassBegun", QByteArray(1, letter::kPassBegun)},
        {"kErased", QByteArray(1, letter::kErased)},
        {"kHexRecord", QByteArray(1, letter::kHexRecord)},
        {"kProgrammed", QByteArray(1, letter::kProgrammed)},
        {"kRestart", QByteArray(1, letter::kRestart)},
        {"kErase", QByteArray(1, letter::kErase)},
        {"kLeave", QByteArray(1, letter::kLeave)},
        {"versionCommand", QByteArray(kScannerFamilies[0].versionCommand.data())},
    };
    for (const auto &[name, bytes] : letters)
        v[QLatin1String(name)] = QLatin1Char('`') + QString::fromLatin1(bytes) + QLatin1Char('`');

    const FlashTimings t;
    const std::pair<const char *, std::chrono::milliseconds> times[] = {
        {"waitForZInterval", t.waitForZInterval},
        {"waitForQInterval", t.waitForQInterval},
        {"identifyGreeting", t.identifyGreeting},
        {"updateGreeting", t.updateGreeting},
        {"ackBound", t.ackBound},
        {"eraseBound", t.eraseBound},
        {"identifySettle", t.identifySettle},
        {"afterRequest", t.afterRequest},
        {"afterBaudReturn", t.afterBaudReturn},
        {"afterRetryRequest", t.afterRetryRequest},
        {"afterG", t.afterG},
        {"afterLowerZ", t.afterLowerZ},
        {"afterFinalR", t.afterFinalR},
        {"afterPowerCycle", t.afterPowerCycle},
        {"answerBound", t.answerBound},
        {"askAgain", t.askAgain},
        {"probeWait", ScannerTimings{}.probeWait},
        {"identityAnswerBound", identityAnswerBound()},
        {"kIdentityGrace", kIdentityGrace},
        {"kIdentitySettle", kIdentitySettle},
        {"kOldBootListen", kOldBootListen},
    };
    for (const auto &[name, value] : times)
        v[QLatin1String(name)] = withUnit(value.count(), "ms");

    for (const char *settings : {kSettings38400, kSettings19200})
        v[QStringLiteral("kSettings") + QString::fromLatin1(settings).section(QLatin1Char(','), 0, 0)] =
            QString::fromLatin1(settings).section(QLatin1Char(','), 0, 0) + QStringLiteral(" baud");
    for (const ScannerFamily &f : kScannerFamilies)
        for (const Probe &p : f.probes)
            if (p.baud != 0)
                v[latin1(p.key)] = withUnit(p.baud, "baud");

    v[QStringLiteral("kRamLoaderSize")] = withUnit(kRamLoaderSize, "bytes");
    v[QStringLiteral("kBinaryRecordSize")] = withUnit(kBinaryRecordSize, "bytes");
    v[QStringLiteral("kBinaryRecordData")] = withUnit(kBinaryRecordData, "bytes");
    v[QStringLiteral("kRamLoaderAddress")] = hex(kRamLoaderAddress, 4);
    return v;
}

} // namespace

TEST(ProtocolDoc, EveryNamedValueInItsTablesIsTheProgramsAndNoneIsMissing)
{
    QFile file(test::sourceDir() + QStringLiteral("/docs/protocol.md"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const std::map<QString, QString> program = programValues();
    std::map<QString, int> mentioned;

    // A value, then its name in parentheses: `z` (`kBeginPass`), 3 ms (`afterLowerZ`).
    static const QRegularExpression kNamed(
        QStringLiteral(R"((`[^`]+`|0x[0-9A-F]+|\d[\d,]* (?:ms|baud|bytes)) \(`(\w+)`\))"));
    // The letters table's bytes: "0x52 0x32".
    static const QRegularExpression kBytes(QStringLiteral(R"(^0x[0-9A-F]{2}( 0x[0-9A-F]{2})*$)"));
    int line = 0;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        ++line;
        const QString row = QString::fromUtf8(raw).trimmed();
        if (!row.startsWith(QLatin1Char('|')))
            continue;
        QStringList letters; // the letters named in this row
        for (const QRegularExpressionMatch &m : kNamed.globalMatch(row)) {
            const QString name = m.captured(2);
            const QString value = m.captured(1).remove(QLatin1Char(','));
            ++mentioned[name];
            const auto known = program.find(name);
            if (known == program.end()) {
                ADD_FAILURE() << "line " << line << ": no value of the program is called "
                              << name.toStdString();
                continue;
            }
            EXPECT_EQ(value.toStdString(), known->second.toStdString())
                << "line " << line << ": " << name.toStdString();
            if (value.startsWith(QLatin1Char('`')))
                letters << value.mid(1, value.size() - 2);
        }
        for (const QString &cell : row.split(QLatin1Char('|'))) {
            if (!kBytes.match(cell.trimmed()).hasMatch())
                continue;
            ASSERT_EQ(letters.size(), 1) << "line " << line << ": the bytes of which letter?";
            QStringList bytes;
            for (const char c : letters.front().toLatin1())
                bytes << hex(static_cast<unsigned char>(c), 2);
            EXPECT_EQ(cell.trimmed().toStdString(), bytes.join(QLatin1Char(' ')).toStdString())
                << "line " << line;
        }
    }
    for (const auto &[name, value] : program)
        EXPECT_GT(mentioned[name], 0)
            << "docs/protocol.md does not give " << name.toStdString() << ", " << value.toStdString();
}
