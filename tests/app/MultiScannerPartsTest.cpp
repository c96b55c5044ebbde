// The parts of a several-scanner run that need no process: what the parent
// makes of each line a child prints, and the options handed to a child.
#include "app/console/ChildEvents.h"
#include "app/console/ConsoleOptions.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace romwright;

TEST(ChildLines, EachLineBecomesTheParentsViewOfItsScanner)
{
    struct Case {
        const char *line;
        const char *step; // the row's after the line
        int percent;
        const char *modelFileNotes; // "model|file|notes joined by ;"
        const char *failureKeys;    // copied into the row, sorted, joined by ","
        bool forwarded;
        const char *note; // for a person, "" none; '!' first: on standard error
        const char *warning;
        bool waits;
        int status; // -1: no result
    };
    const Case cases[] = {
        {"  stray text \r", "starting", 40, "||", "", true, "!port 3: stray text", "", false, -1},
        {"   ", "starting", 40, "||", "", false, "", "", false, -1},
        {R"({"event":"progress","phase":"firmware","sent":50,"total":200,"bytes":1000,"bytesTotal":5000,"ms":500})",
         "firmware", 25, "||", "", true, "", "", false, -1},
        {R"({"event":"lamp","phase":"erase"})", "erase", -1, "||", "", true, "", "", false, -1},
        {R"({"event":"scanner","found":true,"model":"Halvern 1450"})", "starting", 40, "Halvern 1450||", "",
         true, "", "", false, -1},
        {R"({"event":"scanner","found":false,"text":"Scanner Not Found"})", "starting", 40, "||", "", true,
         "", "", false, -1},
        {R"({"event":"firmware","file":"a.s19"})", "starting", 40, "|a.s19|", "", true, "", "", false, -1},
        {R"({"event":"message","title":"Communications Failure","text":"Stalled."})", "starting", 40,
         "||Communications Failure: Stalled.", "", true, "", "", false, -1},
        {R"({"event":"error","text":"no firmware"})", "starting", 40, "||no firmware", "", true, "", "",
         false, -1},
        {R"({"event":"warning","text":"could not write the log"})", "starting", 40, "||", "", true, "",
         "could not write the log", false, -1},
        {R"({"event":"prompt","waiting":true,"title":"Power Cycle","text":"Unplug."})", "power-cycle", -1,
         "||", "", true, "", "", true, -1},
        {R"({"event":"prompt","waiting":false,"title":"Power Cycle","text":"Unplug."})", "power-cycle", -1,
         "||", "", true, "port 3: Power Cycle: Unplug. (--yes: going on)", "", false, -1},
        {R"({"event":"result","status":1,"completed":false,"reason":"stalled","step":"firmware","phase":"firmware","block":12,"address":4864,"awaited":"p","arrived":"","answersAs":null})",
         "firmware", -1, "||", "address,arrived,awaited,block,phase,reason,step", true, "", "", false, 1},
        {R"({"event":"result","status":0,"completed":true,"phase":"done"})", "done", -1, "||", "", true, "",
         "", false, 0},
        {R"({"event":"result"})", "starting", 40, "||", "", true, "", "", false, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        ScannerRow row;
        row.port = 3;
        row.percent = 40;
        const ChildLine read = readChildLine(QByteArray(c.line), row);
        EXPECT_EQ(row.step, QLatin1String(c.step));
        EXPECT_EQ(row.percent, c.percent);
        EXPECT_EQ(row.model + '|' + row.file + '|' + row.notes.join(';'), QLatin1String(c.modelFileNotes));
        QStringList keys = row.failure.keys();
        keys.sort();
        EXPECT_EQ(keys.join(','), QLatin1String(c.failureKeys));
        EXPECT_EQ(!read.object.isEmpty(), c.forwarded);
        EXPECT_EQ(read.object.value(QLatin1String("port")).toInt(), c.forwarded ? 3 : 0);
        EXPECT_EQ((read.noteIsError && !read.note.isEmpty() ? "!" : "") + read.note, QLatin1String(c.note));
        EXPECT_EQ(read.warning, QLatin1String(c.warning));
        EXPECT_EQ(read.waitsAtPrompt, c.waits);
        EXPECT_EQ(read.status.value_or(-1), c.status);
    }
    // The pass's rate and time left come from its bytes and milliseconds.
    ScannerRow row;
    readChildLine(R"({"event":"progress","sent":50,"total":200,"bytes":1000,"bytesTotal":5000,"ms":500})",
                  row);
    EXPECT_EQ(row.rate, 2000);
    EXPECT_EQ(row.secondsLeft, 2);
}

// What a child is given is what it reads back: parse, turn into arguments,
// parse again, the same options.
TEST(ChildOptions, ArgumentsReadBackAsTheSameOptions)
{
    const QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("run.txt"));
    const QStringList cases[] = {
        {"--console"},
        {"--console", "--port", "3", "--file", "fw.s19", "--processor", "barcode", "--model", "wexmoor",
         "--yes", "--force", "--json", "--trace", trace},
        {"--port", "1,3,4", "--model", "1"},
        {"--port", "all", "--json"},
        {"--check", "--port", "2", "--processor", "main"},
        {"--forget"},
        {"--forget", "5"},
    };
    for (const QStringList &arguments : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ParsedConsoleOptions first = parseConsoleOptions(arguments);
        ASSERT_TRUE(first.options) << first.error.toStdString();
        const QStringList again = consoleArguments(*first.options);
        const ParsedConsoleOptions second = parseConsoleOptions(again);
        ASSERT_TRUE(second.options) << again.join(' ').toStdString() << ": " << second.error.toStdString();
        EXPECT_TRUE(*second.options == *first.options) << again.join(' ').toStdString();
    }
}

} // namespace
