#pragma once
// The attached scanner: which port it hangs on and which model it is (as
// the search of the ports found it), its command queue, and the handler for
// the short replies a running scanner sends on its own.

#include "platform/Clock.h"
#include "platform/DeviceAccess.h"
#include "platform/SerialPort.h"
#include "scanner/Commands.h"
#include "scanner/DetectionEvents.h"
#include "scanner/PortSearch.h"
#include "scanner/ScannerModels.h"
#include "scanner/ScannerTimings.h"

#include <QObject>
#include <QPointer>

#include <optional>
#include <vector>

namespace romwright {

// Detection states (State).
enum DetectionState : qint32 {
    kDetecting = 0, // running, or never run
    kScannerFound = 2,
    kNoScanner = 3,
    kCompatibilityMode = 4, // a Jorlith answered at 19200 in its compatibility mode
};

enum class Detection {
    Found,
    NotFound,
    EndProgram, // PROGRAM was already pressed, or the user chose Exit in the chooser
};

class Scanner : public QObject {
    Q_OBJECT
public:
    // clock: the blocking pauses and the receive handler's wait; events:
    // the hourglass and the chooser; programStarted: read, true once PROGRAM
    // was pressed (the front end's, for as long as the scanner lives).
    Scanner(Clock &clock, DetectionEvents &events, const bool &programStarted, ScannerTimings timings = {},
            QObject *parent = nullptr);
    // A flag that lives no longer than the call would be read after its end.
    Scanner(Clock &, DetectionEvents &, const bool &&, ScannerTimings = {}, QObject * = nullptr) = delete;
    ~Scanner() override;

    // The port detection and the receive handler use. Not owned.
    SerialPort *Comm() const { return m_comm; }
    void setComm(SerialPort *port);

    const ScannerModels &models() const { return m_models; }
    Commands &commands() { return m_commands; }

    qint32 State() const { return m_state; }
    const QString &Name() const { return m_name; }
    qint32 TypeOfScanner() const { return m_typeOfScanner; }
    qint16 ComPort() const { return m_comPort; }
    qint32 Threshhold() const { return m_threshhold; }
    const ScannerTimings &timings() const { return m_timings; }
    Clock &clock() const { return m_clock; }

    // Searches the ports (searchPorts) and keeps what it found. On Found,
    // CommPort holds the highest-numbered port whose scanner answered;
    // otherwise it is left alone.
    Detection DetectScanner(qint16 &CommPort);
    // The ports the last detection could not open because this user may not:
    // when no scanner is found, they are the likely reason.
    const std::vector<RefusedPort> &refusedPorts() const { return m_refusedPorts; }
    // The ports the last detection found held by another program.
    const std::vector<HeldPort> &heldPorts() const { return m_heldPorts; }
    // Ports that answered what is neither a model's answer nor a clean greeting.
    const std::vector<std::pair<qint16, QByteArray>> &unclearPorts() const { return m_unclearPorts; }
    // Every port whose scanner answered the last detection, in port order,
    // not only the one it settled on; for one in its boot software, the
    // model the chooser named.
    const std::vector<FoundScanner> &foundScanners() const { return m_found; }

    // Queues and sends the commands of index lCommand for the detected model;
    // the answer to the last of them, or "" when nothing was answered.
    QString SendCommand(qint32 lCommand);

    // Any record length; 4 selects the single-read receive mode.
    void setThreshhold(qint32 value) { m_threshhold = value; }

    // Receive handling: while on, bytes the scanner sends on its own reach
    // the handler. The shell turns it on only while nothing else reads the
    // port (no detection, identification or bootloader dialogue); turning it
    // off also abandons a handler that is waiting for the rest of a reply,
    // without touching the port, as does the end of the program. It never runs once PROGRAM was pressed.
    void setReceiveHandling(bool on);
    bool receiveHandling() const { return m_receiveHandling; }

    static constexpr qint32 kRecordLength = 217;

private:
    void handleReceive();
    bool waitForMoreBytes(Clock::ms deadline);
    void connectReceive();

    Clock &m_clock;
    DetectionEvents &m_events;
    const bool &m_programStarted;
    ScannerTimings m_timings;

    QPointer<SerialPort> m_comm;
    ScannerModels m_models;
    Commands m_commands;
    qint32 m_state = kDetecting;
    QString m_name;
    qint32 m_typeOfScanner = kNotDetected;
    qint16 m_comPort = 0;
    qint32 m_threshhold = 0;

    std::vector<RefusedPort> m_refusedPorts;
    std::vector<HeldPort> m_heldPorts;
    std::vector<std::pair<qint16, QByteArray>> m_unclearPorts;
    std::vector<FoundScanner> m_found;

    bool m_receiveHandling = false;
    bool m_inHandler = false;
    bool m_handlerAbandoned = false;
    bool m_replyWaiting = false;
    QMetaObject::Connection m_receiveConnection;
};

} // namespace romwright
