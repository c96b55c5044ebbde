#pragma once
// The few Booleans the front ends share: set by MainState and detection, read
// by the front ends; below app/ each is passed as what it means.

namespace romwright {

struct ProgramFlags {
    bool bProgramming = false; // True from the first click on PROGRAM that reached the update, never reset
    bool bWexmoor = false;     // the detected model is a Wexmoor
    bool bBarCodeProcessor = false; // the "BarCode" processor option is chosen
};

} // namespace romwright
