#pragma once
// The one gate every path passes before it sends the first byte that could
// change a scanner (the restart request of start-up's identification or of
// an update): in the window, the console, each scanner of a several-scanner
// run, an update resumed from its record, and --check, which stops after it.
// The scanner's own identity answer decides which model it is; whatever a
// chooser, --model, the window's command line or a record claims is only
// taken where the scanner cannot tell.

#include "image/FirmwareCheck.h"
#include "scanner/IdentityQuery.h"

#include <QString>

#include <functional>
#include <optional>

namespace romwright {

// %1 the port as the system names it ("port 1", "COM1"), %2 the model the
// scanner answered as, %3 the model claimed.
inline constexpr const char *kAnswersAsAnotherModel = "The scanner on %1 answers as %2, not %3.";
// %1 the port, %2 the answer as it came (escaped).
inline constexpr const char *kAnswersUnknown =
    "The scanner on %1 answers \"%2\", which is the answer of no scanner model the Romwright knows.";
// %1 the port, %2 why it could not be read.
inline constexpr const char *kPortUnreadable = "%1 could not be read to the end of the scanner's answer: %2.";
// What going on after a contradiction risks: %1 the family of the model
// claimed (whose firmware would be written), %2 the model the scanner answered as.
inline constexpr const char *kContradictionRisk = "%1 firmware in a %2 leaves it unable to scan.";
// Follows every refusal of the gate.
inline constexpr const char *kNothingChanged = " Nothing was sent that could change the scanner.";
// %1 the record's sentence, %2 what its port answers now.
inline constexpr const char *kRecordSetAside = "%1 %2 The record is kept for that scanner and not used now.";
// %1 the model, which has one processor only.
inline constexpr const char *kNoBarCodeProcessor = "The %1 has no BarCode processor.";

struct ModelDecision {
    enum class Kind {
        Go,            // the update is for `model`
        Contradiction, // the scanner answered as another model than the one claimed
        Choose,        // the scanner cannot tell and nothing was claimed: ask which model it is
        Refused,       // the port could not be read cleanly: nothing may go on, whatever anyone says
    };
    Kind kind = Kind::Choose;
    QString model; // Go: the model; Contradiction: the model the scanner answered as ("" for none)
    qint32 typeOfScanner = kNotDetected;
    QString text; // Contradiction, Refused: what is said
    // Contradiction with a model claimed: what going on with the claim risks.
    QString risk;
};

// What the scanner on port answered, against the model claimed for it
// (as the window shows it, "" for none).
ModelDecision decideModel(const IdentityAnswer &answer, const QString &claimed, int port);

// The identity of a scanner that detection found by its own answer.
IdentityAnswer identityOfModel(const QString &model);

class BootloaderLink;
class Clock;
class Dialogs;
class MainView;
class SerialPort;
class UpdateInputs;
struct FirmwareSet;

// When the gate is asked, and so what it decides.
enum class GateMoment {
    StartUp, // a port given at start-up: the scanner's answer against the model given, no chooser
    Program, // PROGRAM's click: as at start-up, and the chooser asks where nobody can tell
    File,    // the file loaded, for the model and processor chosen (and the boot software, when known)
};

// Pass: nothing stands in the way. Closed: the chooser was closed without a
// choice; Exit: the program is to end, the port is closed already. Refused:
// the user said No to a contradiction, or the file does not pass. Unclear:
// the port could not be read cleanly (other bytes than an answer or a
// greeting, a late answer, a port busy or lost); said, and never overridden.
// NoPort: the port is not there to be opened; said when the chooser may ask,
// else left to the opening of the port.
enum class GateVerdict { Pass, Closed, Exit, Refused, Unclear, NoPort };

// What the gate works with, lent by the state for its whole life.
struct GateParts {
    SerialPort &port;
    BootloaderLink &link;
    Clock &clock;
    MainView &view;
    Dialogs &dialogs;
    UpdateInputs &inputs;
    const FirmwareSet &firmware;
};

class ScannerGate {
public:
    explicit ScannerGate(const GateParts &parts) : m_parts(parts) {}

    // Whether anything may be sent that restarts the scanner on port. At
    // StartUp and Program: the scanner's own answer decides the model; the
    // model shown (a choice, a name given, a record) counts only where the
    // scanner cannot tell. The label then shows the model the update is for.
    // A contradiction is put to the front end (contradiction; --force says
    // Yes in advance): No is Refused, and the label shows the model the
    // scanner answered as. At File: the processor chosen must be one the
    // model has, and a loaded file must be sound and fit the scanner, with
    // bTargetA its boot software when known (asked where the firmware check
    // asks). Whatever refuses was said.
    GateVerdict gate(int port, GateMoment moment, std::optional<bool> bTargetA = std::nullopt);

    // Put to the front end when the scanner's answer contradicts the model
    // claimed: the decision's text, and the claim ("" when none was made).
    // True goes on with the claim (or the chooser, when nothing was claimed).
    // Unset: No.
    std::function<bool(const ModelDecision &decision, const QString &claimed)> contradiction;
    // How the front end judges the firmware check's verdict; unset, the
    // dialogs say it and ask (the console stops where the window would ask).
    std::function<bool(const FirmwareVerdict &verdict)> judgeVerdict;
    // Given (--force): a file for another scanner is programmed without asking.
    void setForceFirmware(bool force) { m_forceFirmware = force; }

    // The identity of the scanner on port n, learnt before anything was sent
    // that restarts it (by detection or by asking it); kept until the port
    // changes. Forgotten by a search.
    void knowIdentity(int n, const IdentityAnswer &answer);
    void forgetIdentity()
    {
        m_identity.reset();
        m_acceptedContradiction.clear();
        m_declined.reset();
    }
    // What the scanner on port n answered; asked now when that is not known
    // yet.
    const IdentityAnswer &identityOn(int n);
    // The scanner on port n asked now, whatever is known (the bootloader's
    // port, when open, is closed for the question and opened again).
    IdentityAnswer ask(int n);
    // Whether the scanner on port n was asked and answered anything at all.
    bool answeredOn(int n) const;

    // A file was loaded: a Yes to a question about the one before holds no more.
    void fileLoaded() { ++m_loads; }
    // Port n chosen: a No to a contradiction on another port holds no more.
    // True when one lapsed, so that PROGRAM may be offered again.
    bool portChosen(int n);
    // A new click: the firmware check asks again.
    void newClick() { m_approvedLoad = -1; }

private:
    // The bootloader's port, closed while the identity is asked on a port of
    // the question's own and opened again as it was.
    class LentPort {
    public:
        explicit LentPort(const GateParts &parts);
        ~LentPort();
        LentPort(const LentPort &) = delete;
        LentPort &operator=(const LentPort &) = delete;

    private:
        BootloaderLink &m_link;
        int m_reopen; // the port to open again, 0 for none
    };

    // The scanner on port n answered already, and is still the one there.
    bool knows(int n) const;
    GateVerdict decideModel(bool choose, int port);
    GateVerdict refuseUnclear(const ModelDecision &decision, const QString &claimed, bool choose);
    GateVerdict chooseModel();
    bool passFile(std::optional<bool> bTargetA);
    bool declinedHolds(const FirmwareVerdict &verdict);
    FirmwareVerdict firmwareVerdict(std::optional<bool> bTargetA) const;

    GateParts m_parts;
    struct KnownIdentity {
        int port = 0;
        QString device;
        IdentityAnswer answer;
        bool askAgain =
            false; // refused: asked afresh next time, whatever held or troubled the line may be gone
    };
    std::optional<KnownIdentity> m_identity;
    QString m_acceptedContradiction; // the contradiction the user said Yes to
    // A No to a contradiction: the scanner on port answered as model. Until
    // the file, the model or the port changes, a file that does not fit
    // that model is refused without asking again, and PROGRAM is disabled.
    struct Declined {
        int port = 0;
        QString model;
        std::optional<int> load; // the file load it was held against first
    };
    std::optional<Declined> m_declined;
    int m_loads = 0;
    // The load and the question the user said Yes to in this click.
    int m_approvedLoad = -1;
    QString m_approvedQuestion;
    bool m_forceFirmware = false;
};

// The device port n stands for now ("" for none).
QString deviceOf(const SerialPort &port, int n);

} // namespace romwright
