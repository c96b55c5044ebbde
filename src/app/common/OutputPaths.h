#pragma once
// The files the program writes at a user's word (a trace, an image) never
// replace a file it reads: the firmware, a loader, or what it keeps between
// runs.

#include <QString>
#include <QStringList>

namespace romwright {

struct ProgramInputs {
    QStringList firmwareFiles; // named on the command line or in a record of an unfinished update
    QStringList dataFolders;   // where firmware and loader files are looked for
    QString stateFolder;       // the records of unfinished updates, the update log, the transcripts
};

// The inputs of this user's runs: firmwareFile (may be empty) and the files
// the records name, the program's, user's and system's data folders and the
// state folder.
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

// "--trace OUT would overwrite the firmware file X; name another file", or
// empty; option names the output ("--trace", "--image").
QString outputRefusal(const QString &option, const QString &output, const ProgramInputs &inputs);

} // namespace romwright
