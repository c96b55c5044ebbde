#include "app/shell/FormLoad.h"
#include "platform/FileSystem.h"
#include "view/ViewState.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace romwright;

namespace {

// Start-up with every step recorded; the steps answer as a case sets them.
class Recorder {
public:
    FormLoadSteps steps()
    {
        FormLoadSteps s;
        s.setHelpFile = [this] { calls << "help"; };
        s.programming = [this] { return programming; };
        s.createScanner = [this] { calls << "scanner"; };
        s.findScanner = [this](const std::optional<QString> &comP, const std::optional<QString> &model) {
            calls << (comP ? QStringLiteral("find(%1,%2)").arg(*comP, model.value_or("?")) : QStringLiteral("find()"));
            if (findThrows)
                throw std::runtime_error("port search failed");
            return search;
        };
        s.mnuComClick = [this](int port) {
            calls << QStringLiteral("com%1").arg(port);
            if (comThrows)
                throw std::runtime_error("port will not open");
        };
        s.identifyTarget = [this] {
            calls << "identify";
            return !identifyEnds;
        };
        s.typeOfScanner = [this] { return type; };
        s.targetA = [this] { return targetA; };
        s.fileOpen = [this](const QString &path) { calls << QStringLiteral("open %1").arg(path.section('/', -1)); };
        s.letEventsRun = [this] { calls << "events"; };
        return s;
    }

    QStringList calls;
    bool programming = false;
    ScannerSearch search;
    bool findThrows = false;
    bool comThrows = false;
    bool identifyEnds = false;
    int type = 0;
    bool targetA = false;
};

struct StartCase {
    const char *name;
    QStringList arguments;
    std::function<void(Recorder &)> setUp;
    FormLoadEnd end;
    QStringList calls;
    QString firmFile;
};

} // namespace

TEST(FormLoad, StepsInOrderEachFailureIsolated)
{
    const StartCase cases[] = {
        {"no command line, no scanner", {},
         [](Recorder &r) { r.search = {ScannerSearch::Status::Done, -1}; r.type = 6; },
         FormLoadEnd::Ready, {"help", "scanner", "find()", "identify", "events"}, "None"},
        {"scanner found on port 2, newest Halvern", {},
         [](Recorder &r) { r.search = {ScannerSearch::Status::Done, 2}; r.type = 2; },
         FormLoadEnd::Ready,
         {"help", "scanner", "find()", "com2", "identify", "open Hlv1450ver5_9.s19", "events"}, "Hlv1450ver5_9.s19"},
        {"three fields: no search, port 3, file of field 1", {"JL750Ver6_0.s19,3,Halvern", "1450"},
         [](Recorder &r) { r.search = {ScannerSearch::Status::Done, 3}; },
         FormLoadEnd::Ready,
         {"help", "scanner", "find(3,Halvern 1450)", "com3", "identify", "open JL750Ver6_0.s19", "events"},
         "JL750Ver6_0.s19"},
        {"one field: empty port and model given", {"JL750Ver6_0.s19"},
         [](Recorder &r) { r.search = {ScannerSearch::Status::Done, 0}; },
         FormLoadEnd::Ready, {"help", "scanner", "find(,)", "identify", "open JL750Ver6_0.s19", "events"},
         "JL750Ver6_0.s19"},
        {"port field not a number: the port refuses it, the rest runs", {"JL750Ver6_0.s19,x3,Jorlith 750"},
         [](Recorder &r) { r.search = {ScannerSearch::Status::BadPortNumber, 0}; },
         FormLoadEnd::Ready,
         {"help", "scanner", "find(x3,Jorlith 750)", "com0", "identify", "open JL750Ver6_0.s19", "events"},
         "JL750Ver6_0.s19"},
        {"failing search and port: the rest runs", {},
         [](Recorder &r) { r.findThrows = true; r.type = 2; },
         FormLoadEnd::Ready, {"help", "scanner", "find()", "identify", "open Hlv1450ver5_9.s19", "events"},
         "Hlv1450ver5_9.s19"},
        {"port that will not open", {},
         [](Recorder &r) { r.search = {ScannerSearch::Status::Done, 5}; r.comThrows = true; r.type = 2; r.targetA = true; },
         FormLoadEnd::Ready, {"help", "scanner", "find()", "com5", "identify", "events"}, "None"},
        {"PROGRAM already pressed: only the help file", {"JL750Ver6_0.s19"},
         [](Recorder &r) { r.programming = true; },
         FormLoadEnd::EndProgram, {"help"}, "None"},
        {"chooser's Exit ends it", {},
         [](Recorder &r) { r.search = {ScannerSearch::Status::EndProgram, -1}; },
         FormLoadEnd::EndProgram, {"help", "scanner", "find()"}, "None"},
        {"identification ends it", {},
         [](Recorder &r) { r.search = {ScannerSearch::Status::Done, 1}; r.identifyEnds = true; },
         FormLoadEnd::EndProgram, {"help", "scanner", "find()", "com1", "identify"}, "None"},
    };

    QTemporaryDir folder;
    for (const char *name : {"Hlv1450ver5_9.s19", "JL750Ver6_0.s19"}) {
        QFile file(folder.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    LocalFileSystem files;
    for (const StartCase &c : cases) {
        SCOPED_TRACE(c.name);
        Recorder recorder;
        c.setUp(recorder);
        ViewState view;
        QString chosen;
        const FormLoadEnd end = FormLoad(parseWindowCommandLine(c.arguments), recorder.steps(),
                                         {files, view, folder.path()}, &chosen);
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(recorder.calls, c.calls);
        EXPECT_EQ(view.text(LabelId::FirmFile), c.firmFile);
    }
}
