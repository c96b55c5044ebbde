#include "app/shell/FormLoad.h"

#include "app/shell/FirmwareDiscovery.h"

#include <exception>

namespace romwright {

namespace {

// One step; anything it throws is its own failure and goes no further.
template <typename Step> void tryStep(Step &&step)
{
    try {
        step();
    } catch (const std::exception &) {
    }
}

} // namespace

FormLoadEnd FormLoad(const std::optional<WindowCommandLine> &commandLine, const FormLoadSteps &steps,
                     const FormLoadContext &context, QString *sFirmFile)
{
    if (steps.setHelpFile)
        tryStep(steps.setHelpFile);
    if (steps.programming && steps.programming())
        return FormLoadEnd::EndProgram;

    if (steps.createScanner)
        tryStep(steps.createScanner);

    int port = 0;
    bool end = false;
    tryStep([&] {
        if (!steps.findScanner)
            return;
        const ScannerSearch search = commandLine ? steps.findScanner(commandLine->port, commandLine->model)
                                                 : steps.findScanner(std::nullopt, std::nullopt);
        switch (search.status) {
        case ScannerSearch::Status::EndProgram: end = true; break;
        case ScannerSearch::Status::BadPortNumber: break; // the step failed: no port
        case ScannerSearch::Status::Done: port = search.port; break;
        }
    });
    if (end)
        return FormLoadEnd::EndProgram;

    // A number the command line gives goes to the port whatever it is, so
    // that one without a port (0, 17, "x") is refused there with a red lamp;
    // it never stands for another port.
    const bool portGiven = commandLine && !commandLine->port.trimmed().isEmpty();
    if ((port > 0 || portGiven) && steps.mnuComClick)
        tryStep([&] { steps.mnuComClick(port); });

    if (steps.identifyTarget) {
        tryStep([&] { end = !steps.identifyTarget(); });
        if (end)
            return FormLoadEnd::EndProgram;
    }

    int type = 0;
    bool targetA = false;
    if (steps.typeOfScanner)
        tryStep([&] { type = steps.typeOfScanner(); });
    if (steps.targetA)
        tryStep([&] { targetA = steps.targetA(); });

    FirmwareChoice chosen;
    tryStep([&] {
        chosen = discoverFirmware(context.files, {context.programFolder, context.userDataFolder}, type, targetA,
                                  commandLine ? commandLine->file : QString());
        loadDiscoveredFirmware(context.files, chosen, context.view, steps.fileOpen);
    });
    if (sFirmFile)
        *sFirmFile = chosen.sFirmFile;

    if (steps.letEventsRun)
        tryStep(steps.letEventsRun);
    return FormLoadEnd::Ready;
}

} // namespace romwright
