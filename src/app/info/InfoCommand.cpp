// romwright --info FILE [--target 64|128] [--image OUT]: reads a firmware
// file the way FileOpen does and tells what an update would send, without
// a scanner. Exit status: 0 usable, 1 missing, unusable or without data
// records, 2 usage.

#include "app/ExitStatus.h"
#include "app/FrontEnds.h"

#include "app/startup/CommandLineOptions.h"
#include "app/startup/OutputPaths.h"
#include "app/update/FileMessages.h"
#include "image/FileOpen.h"
#include "image/FirmwareCheck.h"
#include "image/FirmwareKind.h"
#include "image/FlashLayout.h"
#include "image/ParseMotorolaSrecords.h"
#include "platform/FileSystem.h"

#include <QString>

#include <cstdio>
#include <optional>

namespace romwright {

namespace {

struct InfoOptions {
    QString file;
    int rows = 64;
    QString imageOut;
};

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int usageError(const QString &why)
{
    printUsageError(why);
    return kExitUsage;
}

// nullopt after a usage error has been printed.
std::optional<InfoOptions> parseOptions(const QStringList &arguments, int &status)
{
    InfoOptions options;
    bool haveFile = false;
    OptionReader reader(arguments);
    auto refuse = [&status](const QString &why) {
        status = usageError(why);
        return std::nullopt;
    };
    while (reader.next()) {
        const QString argument = reader.argument();
        const bool option = argument == QLatin1String("--info") || argument == QLatin1String("--target") ||
                            argument == QLatin1String("--image");
        if (option && !reader.firstTime())
            return refuse(reader.error());
        if (argument == QLatin1String("--info"))
            continue;
        if (argument == QLatin1String("--image")) {
            const auto value = reader.value(QStringLiteral("the path of the file to write"));
            if (!value)
                return refuse(reader.error());
            if (value->isEmpty())
                return refuse(QStringLiteral("--image takes a path, not an empty text"));
            options.imageOut = *value;
        } else if (argument == QLatin1String("--target")) {
            const auto value = reader.value(QStringLiteral("64 or 128"));
            if (!value)
                return refuse(reader.error());
            if (*value != QLatin1String("64") && *value != QLatin1String("128"))
                return refuse(QStringLiteral("--target is 64 or 128, not %1").arg(displayFileName(*value)));
            options.rows = value->toInt();
        } else if (argument.startsWith(QLatin1Char('-'))) {
            return refuse(QStringLiteral("unknown option %1").arg(displayFileName(argument)));
        } else if (haveFile) {
            return refuse(QStringLiteral("one firmware file only"));
        } else {
            options.file = argument;
            haveFile = true;
        }
    }
    if (!haveFile)
        return refuse(QStringLiteral("no firmware file given"));
    // The image would replace the very file it is made from, or another the program reads.
    if (!options.imageOut.isEmpty()) {
        if (const QString why =
                outputRefusal(QStringLiteral("--image"), options.imageOut, programInputs(options.file));
            !why.isEmpty())
            return refuse(why);
    }
    return options;
}

QString hex4(std::uint32_t value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

void printSummary(const InfoOptions &options, const SrecordResult &result, const MemoryImage &image)
{
    const auto &types = result.recordsOfType;
    QString records = QStringLiteral("Records read: %1 data (S1 %2, S2 %3, S3 %4)")
                          .arg(result.dataRecords)
                          .arg(types[1])
                          .arg(types[2])
                          .arg(types[3]);
    records += QStringLiteral(", %1 header, %2 count, %3 end\n")
                   .arg(types[0])
                   .arg(types[5] + types[6])
                   .arg(types[7] + types[8] + types[9]);
    print(stdout, QStringLiteral("File: %1\n").arg(fileNameOf(options.file)));
    print(stdout, records);
    print(stdout, QStringLiteral("Bytes read: %1\n").arg(result.bytesStored));
    print(stdout, QStringLiteral("Lines skipped: %1 (blank lines and text that is no record)\n")
                      .arg(result.skippedLines));
    print(stdout, QStringLiteral("Address ranges filled:\n"));
    for (const AddressRange &range : filledRanges(result))
        print(stdout, QStringLiteral("  %1-%2  %3 bytes\n")
                          .arg(hex4(range.first), hex4(range.last))
                          .arg(range.last - range.first + 1));

    const std::span<const FlashBlock> table = options.rows == 128
                                                  ? std::span<const FlashBlock>(kFlashBlocks128)
                                                  : std::span<const FlashBlock>(kFlashBlocks64);
    const HexRecordLoad load = hexRecordLoad(table, image);
    print(stdout, QStringLiteral("Target: %1-byte blocks\n").arg(options.rows));
    print(stdout, QStringLiteral("Blocks to send: %1 of %2\n")
                      .arg(QString::number(load.blocks), QString::number(table.size())));
    print(stdout, QStringLiteral("Bytes on the wire: %1 (\"P\" records)\n").arg(load.characters));
}

bool writeImage(const QString &path, const MemoryImage &image)
{
    const auto size = static_cast<qint64>(image.size());
    return writeWholeFile(path, QByteArray(reinterpret_cast<const char *>(image.data()), size));
}

} // namespace

QString infoUsage()
{
    return QStringLiteral(
        "usage: romwright --info FILE [--target 64|128] [--image OUT]\n"
        "  --target 64|128  the block size of the scanner's boot software (64 by default)\n"
        "  --image OUT      write the 65,536-byte image the update sends its blocks from: the\n"
        "                   file's bytes, 0xFF where it has none, and the jump table at 0x0450\n"
        "                   built from the file's vectors at 0xFFCC. The vectors stay in the\n"
        "                   image but are never sent; the 64-byte route carries them in the\n"
        "                   jump table. OUT may not be FILE.\n");
}

int runInfo(const QStringList &arguments)
{
    int status = kExitCompleted;
    const auto options = parseOptions(arguments, status);
    if (!options)
        return status;

    MemoryImage image;
    image.fill(kErased);
    const SrecordResult result = ParseSrecordFile(options->file, image);
    if (result.error == SrecordError::NotFound) {
        print(stderr,
              QStringLiteral("romwright: the file %1 was not found.\n").arg(displayFileName(options->file)));
        return kExitFailed;
    }
    if (!result.ok()) {
        print(stderr, damagedFileMessage(options->file, result) + QLatin1Char('\n'));
        return kExitFailed;
    }
    const FirmwareKind kind = firmwareKind(options->file, firmwareData(image), headerText(result.header));
    RelocateVectors(image);
    printSummary(*options, result, image);
    print(stdout, QStringLiteral("For: %1\n").arg(firmwareMeantFor(kind)));
    if (result.bytesStored == 0) {
        print(stderr, noRecordsMessage(options->file) + QLatin1Char('\n'));
        return kExitFailed;
    }
    if (!options->imageOut.isEmpty()) {
        const QString out = displayFileName(options->imageOut);
        if (!writeImage(options->imageOut, image)) {
            print(stderr, QStringLiteral("romwright: cannot write %1\n").arg(out));
            return kExitFailed;
        }
        print(stdout,
              QStringLiteral("Image written: %1 (%2 bytes)\n").arg(out, QString::number(image.size())));
    }
    return kExitCompleted;
}

} // namespace romwright
