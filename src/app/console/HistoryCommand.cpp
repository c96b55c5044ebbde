// romwright --history [--json]: the update log as a table, newest last, or
// its lines as they stand. Damaged lines are left out and counted on
// standard error. Exit status: 0, 1 when the log cannot be read, 2 usage.

#include "app/ExitStatus.h"
#include "app/FrontEnds.h"
#include "app/startup/CommandLineOptions.h"
#include "app/update/UpdateLog.h"
#include "platform/FileSystem.h"

#include <cstdio>

namespace romwright {

QString historyUsage()
{
    return QString::fromLatin1(
               "usage: romwright --history [--json]\n"
               "  the updates logged in %1,\n"
               "  newest last: start, port, model, processor, file, result, blocks sent and seconds;\n"
               "  a failed update's byte transcript is in transcripts/ beside it\n"
               "  --json             the log's lines themselves, one JSON object each\n")
        .arg(updateLogHelp());
}

int runHistory(const QStringList &arguments)
{
    const std::optional<bool> jsonOption = jsonOnlyOptions(arguments, QStringLiteral("--history"));
    if (!jsonOption)
        return kExitUsage;
    const bool json = *jsonOption;
    const UpdateLog log(userStateFolder());
    const UpdateLogContents contents = log.read();
    if (!contents.readable) {
        std::fprintf(stderr, "romwright: could not read the update log %s\n",
                     qPrintable(displayFileName(log.path())));
        return kExitFailed;
    }
    if (json) {
        for (const QByteArray &line : contents.lines)
            std::printf("%s\n", line.constData());
    } else if (contents.entries.empty()) {
        std::printf("No update has been logged in %s.\n", qPrintable(displayFileName(log.path())));
    } else {
        std::fputs(qPrintable(historyTable(contents.entries)), stdout);
    }
    if (contents.damaged > 0)
        std::fprintf(stderr, "romwright: %d damaged line%s of %s left out\n", contents.damaged,
                     contents.damaged == 1 ? "" : "s", qPrintable(displayFileName(log.path())));
    return kExitCompleted;
}

} // namespace romwright
