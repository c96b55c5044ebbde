#pragma once
// What the logic layers may change on the main window. The window, the
// console front end and the tests each implement it; nothing below app/
// touches a widget.

#include "view/Lamp.h"

#include <QString>

namespace romwright {

enum class LampId {
    ComStatus,     // "Port"
    FileOk,        // "File"
    Communication, // "Communication"
    FlashErase,    // "Flash erase complete"
    Working,       // "Updating"
    Program,       // "Program"
    RamLoader,     // outside the client area, never seen
};

enum class ControlId {
    ProgramButton,    // cmdProgram
    ExitButton,       // ExitCommand
    BrowseButton,     // cmdBrowse
    FileMenu,         // mnuFile
    PortMenu,         // mnuComPort
    HelpMenu,         // mnuHelp
    ProcessorMain,    // optProcessor(0)
    ProcessorBarCode, // optProcessor(1)
};

enum class LabelId {
    ScanMod,  // lblScanMod: model name
    Port,     // lblPort: "None Selected" or the port number
    FirmFile, // lblFirmFile: "None" or the file name without folder
};

class MainView {
public:
    virtual ~MainView() = default;

    virtual void setLamp(LampId id, Lamp colour) = 0;
    virtual Lamp lamp(LampId id) const = 0;

    virtual void setControlEnabled(ControlId id, bool enabled) = 0;
    virtual bool isControlEnabled(ControlId id) const = 0;

    // Labels only show: what they say is kept in the front end's state.
    virtual void setText(LabelId id, const QString &text) = 0;

    virtual void setPortMenuVisible(bool visible) = 0; // mnuComPort.Visible
    virtual bool isPortMenuVisible() const = 0;
    virtual void setFileMenuVisible(bool visible) = 0; // mnuFile.Visible
    virtual bool isFileMenuVisible() const = 0;

    // Tick of the Port menu: 0 clears every tick, 1..8 ticks that entry alone.
    virtual void setPortTicked(int port) = 0;
    virtual int portTicked() const = 0;

    // Tick of the processor options: 0 "Main", 1 "BarCode"; -1 none.
    virtual void setProcessorTicked(int index) = 0;
    virtual int processorTicked() const = 0;

    // lblUpdating, "Please be patient. This may take several minutes."
    virtual void setUpdatingNoteVisible(bool visible) = 0;
    virtual bool isUpdatingNoteVisible() const = 0;

    // Hourglass pointer for the whole screen.
    virtual void setBusy(bool busy) = 0;
    virtual bool isBusy() const = 0;

    // Blocks sent of blocks to send during a firmware pass; total 0 hides it.
    virtual void setProgress(int sent, int total) = 0;
};

} // namespace romwright
