#pragma once
// The few Booleans the whole program shares.

namespace romwright {

struct ProgramFlags {
    bool bProgramming = false;      // True from the first click on PROGRAM, never reset
    bool bWexmoor = false;          // the detected model is a Wexmoor
    bool bBarCodeProcessor = false; // the "BarCode" processor option is chosen
};

} // namespace romwright
