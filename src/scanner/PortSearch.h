#pragma once
// The search of the serial ports for a scanner: every port that opens is
// asked each model's identity question at once, row after row of the model
// table, and what each answered is collected. The Scanner that runs it keeps
// the result as its state.

#include "platform/Clock.h"
#include "platform/DeviceAccess.h"
#include "platform/SerialPort.h"
#include "scanner/DetectionEvents.h"
#include "scanner/ScannerModels.h"

#include <QString>

#include <optional>
#include <vector>

namespace romwright {

// A port whose scanner answered detection, and the model it is.
struct FoundScanner {
    qint16 port = 0;
    QString name;
    qint32 typeOfScanner = kNotDetected;
    char bootPrompt = 0; // it greeted from its boot software with this letter; the chooser named the model
};

struct PortSearch {
    bool opened = false;                // some port opened; comm is left set to the highest of them
    bool exitChosen = false;            // the user chose Exit in the chooser: the search ended there
    bool compatibilityMode = false;     // a Jorlith answered in its compatibility mode
    std::optional<FoundScanner> winner; // the highest-numbered port with a scanner
    std::vector<FoundScanner> found;    // every port whose scanner answered, in port order
    std::vector<RefusedPort> refused;   // ports this user may not open
    std::vector<HeldPort> held;         // ports another program holds
    // Ports that answered neither a model's answer nor a clean greeting
    // (another line end, noise, a stray letter): no scanner is taken there.
    std::vector<std::pair<qint16, QByteArray>> unclear;
};

// How long the search listens at 19200 baud to a port that heard what the
// old boot software's "Z" sounds like at 38400 but no "Z" itself: longer than
// the boot software takes between two.
inline constexpr Clock::ms kOldBootListen{1000};

// Probes the ports comm says are there. Every port that opens is asked at
// once, one model row after another, so a row costs one probe wait however
// many ports there are; each port hears the rows in table order up to its
// answer. A boot software's clean greeting (its letters alone, at its own
// rate) is put to the chooser through events; any other answer that is no
// model's leaves the port without a scanner.
// Every port it opened is closed again.
PortSearch searchPorts(SerialPort &comm, const ScannerModels &models, Clock &clock, DetectionEvents &events,
                       Clock::ms probeWait);

} // namespace romwright
