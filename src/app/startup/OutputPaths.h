#pragma once
// The files the program writes at a user's word (a trace, an image) are
// files: never a device (above all a scanner's serial port, whose line a
// trace would write into mid-update), a FIFO or a folder. Nor do they replace
// a file the program reads: the firmware, a loader, or what it keeps between
// runs.

#include "platform/PortMap.h"

#include <QString>
#include <QStringList>

namespace romwright {

struct ProgramInputs {
    QStringList firmwareFiles; // named on the command line or in a record of an unfinished update
    QStringList dataFolders;   // where firmware and loader files are looked for
    QString stateFolder;       // the records of unfinished updates, the update log, the transcripts
    PortMap ports;             // the serial ports' devices
};

// The inputs of this user's runs: firmwareFile (may be empty) and the files
// the records name, the program's, user's and system's data folders, the
// state folder and the port map.
ProgramInputs programInputs(const QString &firmwareFile);

// What writing to output would overwrite, as the end of a sentence ("the
// firmware file Hlv1450ver5_9.s19"); empty when it overwrites nothing the
// program reads. In a data folder, a loader's name or a firmware file's
// extension is refused whether or not the file is there yet: the search
// would take what was written as firmware. Anything in the state folder is
// refused, and anywhere else an existing file with a firmware or loader
// file's extension (.s19, .s20, .sss). Paths are compared after links, "." and ".." are resolved, and
// blind to case on Windows.
QString overwrittenInput(const QString &output, const ProgramInputs &inputs);

// Why output is no file to write, as the end of a sentence ("is a device,
// not a file"); empty for an existing regular file or a new one in an
// existing folder, links followed. A port's device is named as such under
// any of its names (a link to it, the terminal it leads to).
QString notAFile(const QString &output, const ProgramInputs &inputs);

// "--trace OUT is a device, not a file; name a file", "--trace OUT would
// overwrite the firmware file X; name another file", or empty; option names
// the output ("--trace", "--image"). Every output a user names is judged
// here, before a port is opened.
QString outputRefusal(const QString &option, const QString &output, const ProgramInputs &inputs);

} // namespace romwright
