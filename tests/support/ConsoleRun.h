#pragma once
// Runs the built romwright as a real process with ROMWRIGHT_PORTS set and
// every wait of the update shortened by the time scale.

#include "image/FlashLayout.h"
#include "image/ParseMotorolaSrecords.h"
#include "support/AsNobody.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

namespace romwright::test {

struct ConsoleRun {
    int exitCode = -1; // -1: it crashed or was killed
    QString out;
    QString err;
};

inline const QString kHalvernSample = sampleDir() + QStringLiteral("/Hlv1450ver5_9.s19");
inline const QString kProgram = programDir() + QStringLiteral("/romwright");

// stateFolder holds the record of an interrupted update (empty: the test's
// own, from ctest).
inline void setPortsAndTimeScale(QProcess &process, const QString &ports,
                                 const QString &timeScale = QStringLiteral("0.05"),
                                 const QString &stateFolder = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ROMWRIGHT_PORTS"), ports);
    env.insert(QStringLiteral("ROMWRIGHT_TEST_TIME_SCALE"), timeScale);
    if (!stateFolder.isEmpty())
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateFolder);
    process.setProcessEnvironment(env);
}

// romwright with these arguments; input goes to standard input, which is then closed; setpriv (see
// AsNobody.h) runs the program as nobody; environment holds NAME=VALUE settings on top of the suite's.
// A run that would wait for a person is killed.
inline ConsoleRun runRomwright(const QStringList &arguments, const QString &ports = {},
                               const QByteArray &input = {},
                               const QString &timeScale = QStringLiteral("0.05"), const QString &setpriv = {},
                               const QStringList &environment = {})
{
    QProcess process;
    // A new, empty state folder unless one is named, so that no run finds
    // another's record of an unfinished update.
    QTemporaryDir state;
    setPortsAndTimeScale(process, ports, timeScale, state.path());
    QProcessEnvironment env = process.processEnvironment();
    for (const QString &setting : environment)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    if (setpriv.isEmpty())
        process.start(kProgram, arguments);
    else
        process.start(setpriv, asNobody(kProgram, arguments));
    if (!process.waitForStarted(5000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        process.kill();
    process.waitForFinished(1000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// A file's bytes; empty when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The update log's lines under stateFolder (what XDG_STATE_HOME was), oldest
// first; a line that is no JSON object is an empty one.
inline QList<QJsonObject> loggedUpdates(const QString &stateFolder)
{
    QList<QJsonObject> entries;
    for (const QByteArray &line :
         fileBytes(stateFolder + QStringLiteral("/romwright/updates.jsonl")).split('\n'))
        if (!line.isEmpty())
            entries << QJsonDocument::fromJson(line).object();
    return entries;
}

// Every line of a --json run's output, each one object.
inline QList<QJsonObject> jsonLines(const QString &out)
{
    QList<QJsonObject> objects;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
        EXPECT_TRUE(document.isObject()) << qPrintable(line);
        objects << document.object();
    }
    return objects;
}

// The Halvern sample's image as the update sends it.
inline MemoryImage halvernSampleImage()
{
    MemoryImage image;
    image.fill(kErased);
    EXPECT_TRUE(ParseSrecordFile(kHalvernSample, image).ok());
    RelocateVectors(image);
    return image;
}

// Blocks of the sample's 64-byte table that a simulator's flash dump does not hold (-1: no dump).
inline int sampleBlocksMissing(const QByteArray &flash)
{
    const MemoryImage image = halvernSampleImage();
    if (flash.size() != qsizetype(image.size()))
        return -1;
    int missing = 0;
    for (const FlashBlock &block : kFlashBlocks64)
        missing +=
            std::memcmp(flash.constData() + block.Address, image.data() + block.Address, block.Length) != 0;
    return missing;
}

} // namespace romwright::test
