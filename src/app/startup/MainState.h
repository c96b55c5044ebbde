#pragma once
// The main window's state and handlers that need no widget: the port, the
// three images and their tables, the greeting letters and target kind, the
// program-wide flags, and the handlers of the Port menu, the processor
// options, PROGRAM and EXIT. The window and the console front end each own
// one and show it through their own MainView and Dialogs.

#include "app/startup/FindScanner.h"
#include "app/startup/ScannerGate.h"
#include "app/update/ProgramFlags.h"
#include "app/update/UnfinishedUpdate.h"
#include "app/update/UpdateController.h"
#include "app/update/UpdateInputs.h"
#include "app/update/UpdateRecorder.h"
#include "flash/BootloaderLink.h"
#include "flash/FlashTimings.h"
#include "flash/Outcome.h"
#include "flash/TargetState.h"
#include "flash/UpdateSequence.h"
#include "image/FileOpen.h"
#include "image/FirmwareCheck.h"
#include "image/MemoryImage.h"
#include "platform/SerialPort.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace romwright {

class Dialogs;
class FileSystem;
class MainView;
class Clock;
class PortTranscript;

// What the front end lends the state for its whole life.
struct MainServices {
    MainView &view;
    Dialogs &dialogs;
    Clock &clock; // pauses, timers and every wait
    const FileSystem &files;
    QString programFolder;           // where the loader files are looked for first
    QString userDataFolder{};        // then here; empty: nowhere else
    QStringList systemDataFolders{}; // then in each of these
    QString stateFolder{}; // the record of an unfinished update and the update log; empty: none is kept
    PortTranscript *transcript = nullptr; // what crossed the line, kept with a failed update's log line
};

class MainState {
public:
    MainState(std::unique_ptr<SerialPort> MSComm1, const MainServices &services,
              const FlashTimings &timings = FlashTimings{});
    ~MainState(); // the port is closed when the program ends
    MainState(const MainState &) = delete;
    MainState &operator=(const MainState &) = delete;

    // As the window loads: the greeting timers start running.
    void startTimers();

    // A COM entry of the Port menu (and start-up with the found port): opens
    // port n; on success ticks entry n, turns the port lamp green and shows
    // "n" in the port label; on failure only the lamp turns red.
    bool mnuCom_Click(int n);

    // The start-up identification on the open port (sets bTargetA). Only
    // the first start-up's shares its greeting waits' time-out counts with
    // the update; Search Again's and PROGRAM's own (for a processor chosen
    // later, or one start-up left out) count on their own.
    Outcome IdentifyTarget();
    // Start-up left the identification to PROGRAM: the gate had refused the
    // file or the scanner's answer, so the scanner was not restarted then.
    void deferIdentification(bool deferred)
    {
        m_identificationDeferred = deferred;
        m_startUpIdentified = m_startUpIdentified || deferred;
    }

    // Loads sFile and the two loaders; PROGRAM stays disabled while an update runs.
    FileOpenResult FileOpen(const QString &sFile);
    // The path the last FileOpen was given; empty before the first.
    const QString &firmwareFile() const { return m_inputs.firmwarePath(); }

    // Index 0 "Main", 1 "BarCode"; any other index changes nothing.
    void optProcessor_Click(int index);

    // The update, after the gate for a loaded file: a chooser closed
    // without a choice cancels the click (Stopped), its Exit is EndClosed.
    // Stopped leaves the window usable; an End value means the program must
    // end now (the port is closed already). An update whose file passed its
    // checks, so that the request went out, gets its line in the update log,
    // and its transcript when it did not complete.
    Outcome cmdProgram_Click();

    // EXIT: "@" to an open port, then the port closed. The caller ends the program.
    void ExitCommand_Click();

    // The number that leads to device now: port when it still does (or no
    // device is named), else the number the device has moved to, else port
    // when a device is behind it; 0 when neither leads anywhere.
    int portForDevice(int port, const QString &device) const;

    // The scanner greeted a request for its boot software (at start-up or
    // in an update) and no route has changed it since: it now waits in its
    // boot software and cannot scan until it is switched off and on.
    bool scannerLeftInBootSoftware() const;

    SerialPort &MSComm1() { return *m_port; }
    FirmwareSet &firmware() { return *m_firmware; }
    TargetState &target() { return m_target; }
    ProgramFlags &flags() { return m_flags; }
    // The model, port, file and processor the update is for, shown on the view.
    UpdateInputs &inputs() { return m_inputs; }
    const UpdateInputs &inputs() const { return m_inputs; }
    BootloaderLink &link() { return *m_link; }
    // The update: listeners subscribe to it, the front end's dialogs answer its questions.
    UpdateSequence &update() { return *m_update; }
    // The record and the log line of each update; the front end sets its warnings.
    UpdateRecorder &recorder() { return m_recorder; }
    // How the update shows on the front end's view and dialogs.
    UpdateController &updateController() { return m_controller; }
    // How detection shows on the front end's view and dialogs.
    DetectionController &detection() { return m_detection; }
    MainView &view() { return m_services.view; }
    // What decides whether anything may be sent that restarts the scanner.
    ScannerGate &gate() { return m_gate; }
    const ScannerGate &gate() const { return m_gate; }
    const MainServices &services() const { return m_services; }

private:
    // The update's questions answered from the state: the firmware check
    // through the gate, the restarted scanner's identity on its port.
    class Answers : public UpdateAnswers {
    public:
        explicit Answers(MainState &state);
        bool firmwareFits() override;
        bool asksIdentity() const override { return true; }
        std::optional<QString> askIdentity() override;
        bool answersAsProgrammed(const QString &name) override;

    private:
        MainState &m_state;
    };

    // Port, model, processor and file as they stand; boot 0 when no route began.
    UnfinishedUpdate describeUpdate(char boot) const;
    // One question of the restarted scanner's name, at its model's rates.
    std::optional<QString> askIdentity();

    std::unique_ptr<SerialPort> m_port;
    MainServices m_services;
    std::unique_ptr<FirmwareSet> m_firmware;
    TargetState m_target;
    ProgramFlags m_flags;
    UpdateInputs m_inputs;
    std::unique_ptr<BootloaderLink> m_link;
    ScannerGate m_gate;
    UpdateController m_controller;
    DetectionController m_detection;
    UpdateRecorder m_recorder;
    Answers m_answers;
    std::unique_ptr<UpdateSequence> m_update;
    qint64 m_firmwareSize = 0;
    QByteArray m_firmwareSha256;
    bool m_identificationDeferred = false;
    bool m_startUpIdentified = false; // or left out: every identification from now on is an added one
    std::optional<Processor> m_identifiedProcessor; // whose boot software bTargetA tells
};

} // namespace romwright
