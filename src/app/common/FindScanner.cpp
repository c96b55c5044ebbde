#include "app/common/FindScanner.h"

#include "app/common/ProgramFlags.h"
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

void showScannerModel(MainView &view, ProgramFlags &flags, const QString &model)
{
    view.setText(LabelId::ScanMod, model);
    // A family with two processors; the flag keeps the name it has always had.
    const ScannerFamily *family = familyShownAs(model);
    flags.bWexmoor = family && hasProcessors(*family);
    view.setControlEnabled(ControlId::ProcessorMain, flags.bWexmoor);
    view.setControlEnabled(ControlId::ProcessorBarCode, flags.bWexmoor);
    // The processor the update goes to is always the one the window shows.
    if (flags.bWexmoor)
        view.setProcessorTicked(flags.bBarCodeProcessor ? 1 : 0);
}

FindScannerResult FindScanner(Scanner &scanner, SerialPort &port, MainView &view, ProgramFlags &flags,
                              const std::optional<QString> &comP, const std::optional<QString> &scannMod)
{
    FindScannerResult result;
    if (comP && scannMod) {
        showScannerModel(view, flags, *scannMod);
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

    showScannerModel(view, flags, scanner.Name());
    return result;
}

} // namespace romwright
