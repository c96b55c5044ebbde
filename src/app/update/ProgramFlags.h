#pragma once
// What the front ends share beside the update's inputs (UpdateInputs): set by
// MainState, read by the front ends and detection; below app/ it is passed as
// what it means.

namespace romwright {

struct ProgramFlags {
    bool bProgramming = false; // True from the first click on PROGRAM that reached the update, never reset
};

} // namespace romwright
