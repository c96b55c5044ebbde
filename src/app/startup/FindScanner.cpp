#include "app/startup/FindScanner.h"

#include "app/update/UpdateInputs.h"
#include "platform/Dialogs.h"
#include "scanner/Scanner.h"
#include "view/MainView.h"

namespace romwright {

void DetectionController::detecting(bool underWay)
{
    m_view.setBusy(underWay);
}

std::optional<QString> DetectionController::chooseModel()
{
    return m_dialogs.chooseScanner();
}

FindScannerResult FindScanner(Scanner &scanner, SerialPort &port, MainView &view, UpdateInputs &inputs,
                              const std::optional<QString> &comP, const std::optional<QString> &scannMod)
{
    FindScannerResult result;
    if (comP && scannMod) {
        inputs.showModel(*scannMod);
        const QString number = comP->trimmed();
        if (number.isEmpty()) {
            result.port = 0;
            return result;
        }
        bool ok = false;
        const short value = number.toShort(&ok);
        result.port = ok ? value : 0;
        if (!ok)
            result.status = FindStatus::BadPortNumber;
        return result;
    }

    scanner.setComm(&port);
    qint16 commPort = 0;
    switch (scanner.DetectScanner(commPort)) {
    case Detection::EndProgram:
        result.status = FindStatus::EndProgram;
        return result;
    case Detection::Found:
        result.port = commPort;
        view.setPortMenuVisible(false);
        break;
    case Detection::NotFound:
        result.port = -1;
        view.setPortMenuVisible(true);
        view.setControlEnabled(ControlId::ProgramButton, false);
        break;
    }

    inputs.showModel(scanner.Name());
    return result;
}

} // namespace romwright
