#include "app/startup/LocalServices.h"

#include "app/update/UnfinishedUpdate.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"

#include <QDir>

namespace romwright {

MainServices localServices(MainView &view, Dialogs &dialogs, Clock &clock, const FileSystem &files,
                           PortTranscript &transcript)
{
    return {view,
            dialogs,
            clock,
            files,
            programFolder(),
            userDataFolder(),
            systemDataFolders(),
            userStateFolder(),
            &transcript};
}

PortMap portMapWithRecordedTerminals()
{
    const PortMap map = PortMap::fromEnvironment();
    bool added = false;
    for (const UnfinishedUpdate &record : UnfinishedUpdates(userStateFolder()).all()) {
        const QString &device = record.device;
        if (QDir::isAbsolutePath(device) && map.portOf(device) == 0 && isTerminalDevice(device)) {
            PortMap::addForThisRun(device);
            added = true;
        }
    }
    return added ? PortMap::fromEnvironment() : map;
}

void sayRecorderFailures(MainState &state, RecorderWarnings warnings)
{
    UpdateRecorder &recorder = state.recorder();
    recorder.recordNotWritten = [warn = warnings.warn, advice = warnings.advice](const QString &path) {
        warn(QStringLiteral("could not write %1; %2").arg(displayFileName(path), advice));
    };
    recorder.recordNotRemoved = [notice = warnings.notice, &state](const QString &path) {
        notice(QString::fromLatin1(kRecordNotRemoved)
                   .arg(displayFileName(path))
                   .arg(state.MSComm1().commPort()));
    };
    recorder.logNotWritten = [warn = warnings.warn](const QString &path) {
        warn(QStringLiteral("could not write the update log at %1").arg(displayFileName(path)));
    };
    recorder.linkSetAside = warnings.warn;
}

} // namespace romwright
