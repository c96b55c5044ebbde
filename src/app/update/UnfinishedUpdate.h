#pragma once
// The record of an update that has begun with a scanner. It is written
// before the request that restarts the scanner into its boot software (and
// again before the first byte that erases or replaces anything) and removed
// when the update completes, so a run cut short by a signal, a lost line, a
// stall or a dead battery leaves it behind. The next start with no port
// given finds it and offers to finish the update on the same port, with the
// same model, processor and file: the scanner then waits in its boot
// software and does not answer the identity query that a search depends on.

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace romwright {

class FileSystem;

inline constexpr const char *kUnfinishedUpdateTitle = "Unfinished Update";
// After the record's sentence.
inline constexpr const char *kFinishItNow = " Finish it now?";
inline constexpr const char *kFinishingItWith = " Finishing it with %1.";
// Several records fit the scanner on one port: %1 how many, %2 the port.
inline constexpr const char *kRivalRecords = "%1 unfinished updates could be for the scanner on port %2.";
// The console's way to choose: %1 the port.
inline constexpr const char *kRivalRecordsConsole =
    "The Romwright does not choose between them: run the update again with --model NAME to finish the one "
    "for the scanner's model, or drop them with romwright --console --forget %1";
// A record written before the firmware file was chosen: the search picks it
// once the boot software has greeted.
inline constexpr const char *kFinishingItWithNewest =
    " Finishing it with the newest firmware for its boot software.";
// A record whose file is no longer what was being programmed.
inline constexpr const char *kRecordFileChanged =
    "%1 Its firmware file %2 has changed since, so it is not finished from here: name the port, the "
    "model and the file to finish it.";
inline constexpr const char *kRecordFileMissing =
    "%1 Its firmware file %2 can no longer be read, so it is not finished from here: name the port, the "
    "model and the file to finish it.";
// %1 the record's sentence, %2 its device.
inline constexpr const char *kRecordDeviceGone =
    "%1 Its device %2 is not connected now; the record is kept for when it is.";

// %1 the record's path, %2 its port.
inline constexpr const char *kRecordNotRemoved =
    "Could not remove %1: the scanner has its firmware, but the next start would offer to finish this "
    "update. Remove that file, or run romwright --console --forget %2";

// The ways back that work when no scanner answers the search.
inline constexpr const char *kNoScannerWayBackWindow =
    "No scanner answered on the serial ports. A scanner whose update was interrupted waits in its boot "
    "software and does not answer: switch it off and on and start the Romwright again (its boot software "
    "then greets and you are asked which model it is), or choose its port in the Port menu and its "
    "firmware file with File > Open.";
inline constexpr const char *kNoScannerWayBackConsole =
    "A scanner whose update was interrupted waits in its boot software and does not answer: switch it off "
    "and on and run the update again (its boot software then greets and you are asked which model it is), "
    "or name its port and model: romwright --console --port N --model NAME";

// Start-up's identification restarts a running scanner into its boot
// software; leaving without an update leaves it there.
inline constexpr const char *kLeftInBootSoftware =
    "The scanner is waiting in its boot software and cannot scan until it is switched off and on.";

// A file among the records that is no record of this program's: not JSON, a
// field missing or of another type, a port outside 1 to 256, a port other
// than its name's, or a symbolic link. It is set aside, never used.
struct DamagedRecord {
    QString path;
    QString why;     // "its \"sha256\" is missing or not valid"
    QString movedTo; // where it now is; empty when it could not be moved and stays where it was
};

// "The record of an unfinished update /x/unfinished-port1.json is damaged and not used: WHY. It was
// moved to /x/unfinished-port1.json.damaged."
QString damagedRecordText(const DamagedRecord &damaged);

// What the ways back say where records of unfinished updates are kept
// (ports lists them): how to drop one that is no longer needed.
QString forgetHint(const std::vector<int> &ports);

struct UnfinishedUpdate {
    int port = 0;
    QString device; // what the port number led to when the update began
    QString model;  // as the window shows it, "Halvern 1450"
    bool barCode = false;
    // The greeting of the boot software the route began with: 'Z', 'Q' or
    // 'A'; 0 while no route has begun (the scanner was only restarted).
    char boot = 'Q';
    QString file; // the firmware file's whole path; empty: not chosen yet, the search's newest
    qint64 size = 0;
    QByteArray sha256; // lower-case hex
    QDateTime started;

    // "An update of the Halvern 1450 on port 1 was interrupted on 2026-12-07 04:31."
    QString sentence() const;
};

enum class RecordedFile {
    Same,
    Changed, // another size or SHA-256
    Missing, // gone, or no longer readable
};

// As the record's file holds it; the update log's lines begin with the same keys.
QJsonObject toJson(const UnfinishedUpdate &record);

// The file the record names, as it stands now.
RecordedFile checkRecordedFile(const UnfinishedUpdate &record, const FileSystem &files);

QByteArray sha256Hex(const QByteArray &bytes);

// The same update of the same scanner: the one a new record of its port goes
// on with. A record whose file was not chosen yet is one with any file the
// same device's update of that model and processor takes.
bool sameUpdate(const UnfinishedUpdate &a, const UnfinishedUpdate &b);

// The records in the user's state folder, one file per port so that the
// scanners of a several-scanner run keep theirs apart.
class UnfinishedUpdates {
public:
    explicit UnfinishedUpdates(QString folder) : m_folder(std::move(folder)) {}

    // False when the record could not be written (no state folder, a full
    // disk): the update goes on, the caller warns. A link in the record's
    // place is never written through: it is renamed aside (NAME.link) and
    // added to setAside, for the caller to say. A record of no route (boot
    // 0) that replaces one of the same update keeps that one's route: a
    // restart changes nothing in the scanner.
    bool save(const UnfinishedUpdate &record, std::vector<DamagedRecord> *setAside = nullptr) const;
    // True when no record of port stands there any more (or never did).
    bool remove(int port) const;
    // Newest first; a file that is no sound record is left out.
    std::vector<UnfinishedUpdate> all() const;
    // Every file that is no sound record is renamed aside (NAME.damaged), so
    // that it is said once and never used; one that cannot be read at all is
    // left where it is (it may be sound) and said each time. A symbolic link
    // is never read, wherever it leads: it is renamed aside (NAME.link).
    std::vector<DamagedRecord> setAsideDamaged() const;

    // One file named as a record, as it stands.
    struct Stored {
        QString path;
        std::optional<UnfinishedUpdate> record; // nullopt: damaged or unreadable
        QString why;                            // what is wrong with it
        bool unreadable = false;                // the file could not be read at all
    };
    // Every file named as a record, by port.
    std::vector<Stored> stored() const;
    // The ports whose record files stand in the folder, sound or not.
    std::vector<int> ports() const;

    QString pathFor(int port) const;

private:
    QString m_folder;
};

} // namespace romwright
