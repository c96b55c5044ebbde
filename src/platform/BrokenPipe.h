#pragma once
// Output that goes away must not end the program: an update piped into a
// reader that quits early (`| head`) would otherwise die of SIGPIPE between
// the erase and the last block and leave the scanner without firmware.

namespace romwright {

// From here on a write to a closed pipe fails with EPIPE instead of ending
// the process; the output is lost and the work goes on.
void ignoreBrokenPipe();

} // namespace romwright
