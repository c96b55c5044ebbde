#include "app/startup/ScannerGate.h"

#include "app/update/FirmwareDiscovery.h"
#include "app/update/UpdateInputs.h"
#include "app/update/UpdateMessages.h"
#include "flash/BootloaderLink.h"
#include "image/FirmwareKind.h"
#include "image/MemoryImage.h"
#include "platform/Dialogs.h"
#include "platform/PortMap.h"
#include "platform/SerialPort.h"
#include "scanner/ChooserAnswer.h"
#include "scanner/ScannerModel.h"
#include "scanner/ScannerModels.h"
#include "view/MainView.h"

namespace romwright {

namespace {

// "port 1" at the head of a sentence.
QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

IdentityAnswer identityOfModel(const QString &model)
{
    IdentityAnswer answer;
    const ScannerFamily *family = familyNamed(model);
    if (!family)
        return answer;
    answer.kind = IdentityAnswer::Kind::Model;
    answer.model = model;
    answer.typeOfScanner = family->type;
    return answer;
}

ModelDecision decideModel(const IdentityAnswer &answer, const QString &claimed, int port)
{
    ModelDecision decision;
    const ScannerFamily *claimedFamily = familyNamed(claimed);
    switch (answer.kind) {
    case IdentityAnswer::Kind::Model:
        if (claimed.isEmpty() || claimed == answer.model) {
            decision.kind = ModelDecision::Kind::Go;
        } else {
            decision.kind = ModelDecision::Kind::Contradiction;
            decision.text =
                QString::fromLatin1(kAnswersAsAnotherModel).arg(portName(port), answer.model, claimed);
            if (claimedFamily)
                decision.risk = QString::fromLatin1(kContradictionRisk)
                                    .arg(QLatin1String(claimedFamily->family), answer.model);
        }
        decision.model = answer.model;
        decision.typeOfScanner = answer.typeOfScanner;
        return decision;
    case IdentityAnswer::Kind::Unknown:
        decision.kind = ModelDecision::Kind::Refused;
        decision.text = QString::fromLatin1(kAnswersUnknown).arg(portName(port), shownAnswer(answer.raw)) +
                        QString::fromLatin1(kNothingChanged);
        return decision;
    case IdentityAnswer::Kind::NoPort:
        decision.kind = ModelDecision::Kind::Refused;
        decision.text =
            QString::fromLatin1(kPortUnreadable).arg(capitalised(portName(port)), answer.portError) +
            QString::fromLatin1(kNothingChanged);
        return decision;
    case IdentityAnswer::Kind::BootPrompt:
    case IdentityAnswer::Kind::Silent:
        break;
    }
    if (!claimedFamily)
        return decision; // Choose
    decision.kind = ModelDecision::Kind::Go;
    decision.model = claimed;
    decision.typeOfScanner = claimedFamily->type;
    return decision;
}

namespace {

ScannerModels standardModels()
{
    ScannerModels models;
    addStandardModels(models);
    return models;
}

} // namespace

// The identity question goes out on a port of its own: the bootloader's is
// closed meanwhile and opened again as it was.
ScannerGate::LentPort::LentPort(const GateParts &parts)
    : m_link(parts.link), m_reopen(parts.port.portOpen() ? parts.port.commPort() : 0)
{
    if (m_reopen != 0)
        m_link.closePort();
}

ScannerGate::LentPort::~LentPort()
{
    if (m_reopen != 0)
        m_link.OpenPort(m_reopen);
}

QString deviceOf(const SerialPort &port, int n)
{
    const std::unique_ptr<SerialPort> probe = port.sibling();
    probe->setCommPort(n);
    return probe->deviceName();
}

GateVerdict ScannerGate::gate(int port, GateMoment moment, std::optional<bool> bTargetA)
{
    if (moment == GateMoment::File)
        return passFile(bTargetA) ? GateVerdict::Pass : GateVerdict::Refused;
    // The scanner is asked now unless its answer is known already, with the
    // whole time it may take to answer.
    if (!knows(port)) {
        const LentPort lent(m_parts);
        m_identity = KnownIdentity{port, deviceOf(m_parts.port, port),
                                   askIdentity(m_parts.port, port, m_parts.clock, standardModels())};
    }
    return decideModel(moment == GateMoment::Program, port);
}

void ScannerGate::knowIdentity(int n, const IdentityAnswer &answer)
{
    m_identity = KnownIdentity{n, deviceOf(m_parts.port, n), answer};
}

bool ScannerGate::answeredOn(int n) const
{
    return m_identity && m_identity->port == n && m_identity->answer.kind != IdentityAnswer::Kind::Silent &&
           m_identity->answer.kind != IdentityAnswer::Kind::NoPort;
}

IdentityAnswer ScannerGate::ask(int n)
{
    const LentPort lent(m_parts);
    return askIdentity(m_parts.port, n, m_parts.clock, standardModels());
}

bool ScannerGate::knows(int n) const
{
    return m_identity && m_identity->port == n && m_identity->device == deviceOf(m_parts.port, n) &&
           !m_identity->askAgain;
}

const IdentityAnswer &ScannerGate::identityOn(int n)
{
    if (!knows(n))
        m_identity = KnownIdentity{n, deviceOf(m_parts.port, n), ask(n)};
    return m_identity->answer;
}

FirmwareVerdict ScannerGate::firmwareVerdict(std::optional<bool> bTargetA) const
{
    const UpdateInputs &inputs = m_parts.inputs;
    const FirmwareSet &firmware = m_parts.firmware;
    const ScannerAtHand scanner{inputs.typeOfScanner(), bTargetA, inputs.barCode()};
    return checkFirmware(
        inputs.firmwarePath(),
        firmwareKind(inputs.firmwarePath(), firmware.FirmwareFileData, firmware.FirmwareHeader), scanner);
}

bool ScannerGate::passFile(std::optional<bool> bTargetA)
{
    const QString title = QString::fromLatin1(kFirmwareCheckTitle);
    Dialogs &dialogs = m_parts.dialogs;
    const ScannerFamily *family = familyNamed(m_parts.inputs.model());
    if (m_parts.inputs.barCode() && family && !hasProcessors(*family)) {
        dialogs.message(QString::fromLatin1(kNoBarCodeProcessor).arg(latin1(family->shown)), title,
                        MessageIcon::Exclamation);
        return false;
    }
    if (!m_parts.firmware.FilesValid)
        return false; // FileOpen has said what is wrong with the files
    const FirmwareVerdict verdict = firmwareVerdict(bTargetA);
    if (declinedHolds(verdict)) {
        m_parts.view.setControlEnabled(ControlId::ProgramButton, false);
        return false; // the user has said No to this already
    }
    if (judgeVerdict)
        return judgeVerdict(verdict);
    switch (verdict.kind) {
    case FirmwareVerdict::Kind::Fits:
        return true;
    case FirmwareVerdict::Kind::Refuse:
        dialogs.message(verdict.text, title, MessageIcon::Exclamation);
        return false;
    case FirmwareVerdict::Kind::Ask:
        break;
    }
    // Asked once a click: the second look before the route only asks about a
    // file loaded while the update waited for the greeting.
    if (m_forceFirmware || (m_approvedLoad == m_loads && m_approvedQuestion == verdict.text))
        return true;
    if (!dialogs.question(verdict.text + verdict.question, title, MessageIcon::Exclamation))
        return false;
    m_approvedLoad = m_loads;
    m_approvedQuestion = verdict.text;
    return true;
}

bool ScannerGate::declinedHolds(const FirmwareVerdict &verdict)
{
    if (!m_declined)
        return false;
    if (!m_declined->load)
        m_declined->load = m_loads;
    if (verdict.kind == FirmwareVerdict::Kind::Fits || m_declined->load != m_loads ||
        m_declined->model != m_parts.inputs.model() || !m_identity || m_identity->port != m_declined->port) {
        m_declined.reset();
        return false;
    }
    return true;
}

bool ScannerGate::portChosen(int n)
{
    if (!m_declined || m_declined->port == n)
        return false;
    m_declined.reset();
    return true;
}

GateVerdict ScannerGate::decideModel(bool choose, int port)
{
    // A name as the chooser or --model takes it, else as the rest of the
    // program reads the model shown: by its first letter.
    UpdateInputs &inputs = m_parts.inputs;
    const QString shown = inputs.model();
    const ScannerFamily *family = inputs.family();
    QString claimed = modelShownFor(shown);
    if (claimed.isEmpty() && family)
        claimed = latin1(family->shown);
    const ModelDecision decision = romwright::decideModel(identityOn(port), claimed, port);
    switch (decision.kind) {
    case ModelDecision::Kind::Go:
        if (decision.model != shown)
            inputs.showModel(decision.model);
        return GateVerdict::Pass;
    case ModelDecision::Kind::Refused:
        return refuseUnclear(decision, claimed, choose);
    case ModelDecision::Kind::Contradiction:
        // Asked once: a Yes at start-up holds for PROGRAM on the same port.
        if (!m_forceFirmware && m_acceptedContradiction != decision.text &&
            !(contradiction && contradiction(decision, claimed))) {
            if (!decision.model.isEmpty()) {
                inputs.showModel(decision.model);
                m_declined = Declined{port, inputs.model(), std::nullopt};
            }
            return GateVerdict::Refused;
        }
        m_acceptedContradiction = decision.text;
        if (!claimed.isEmpty())
            return GateVerdict::Pass;
        break;
    case ModelDecision::Kind::Choose:
        break;
    }
    return choose ? chooseModel() : GateVerdict::Pass;
}

GateVerdict ScannerGate::refuseUnclear(const ModelDecision &decision, const QString &claimed, bool choose)
{
    // No Yes and no --force for a port that could not be read; asked
    // afresh next time, when whatever held or troubled the line may be gone.
    m_identity->askAgain = true;
    if (m_identity->answer.portAbsent()) {
        // Said where the port is opened, or here when PROGRAM asks.
        if (choose) {
            m_parts.view.setLamp(LampId::ComStatus, Lamp::Red);
            const QString port = portThenDevice(m_identity->port, deviceOf(m_parts.port, m_identity->port));
            m_parts.dialogs.message(QString::fromLatin1(messages::kPortFailure) + QLatin1Char('\r') +
                                        QString::fromLatin1(messages::kPortChosen).arg(port),
                                    QString::fromLatin1(messages::kCommunicationsFailureTitle),
                                    MessageIcon::Exclamation);
        }
        return GateVerdict::NoPort;
    }
    if (contradiction)
        contradiction(decision, claimed);
    else
        m_parts.dialogs.message(decision.text, QString::fromLatin1(kFirmwareCheckTitle),
                                MessageIcon::Exclamation);
    return GateVerdict::Unclear;
}

GateVerdict ScannerGate::chooseModel()
{
    const std::optional<QString> choice = m_parts.dialogs.chooseScanner();
    if (!choice) {
        m_parts.link.closePort(); // the chooser's Exit ends the program
        return GateVerdict::Exit;
    }
    if (choice->isEmpty())
        return GateVerdict::Closed;
    m_parts.inputs.showModel(modelShownFor(*choice));
    return GateVerdict::Pass;
}

} // namespace romwright
