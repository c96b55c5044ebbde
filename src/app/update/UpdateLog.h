#pragma once
// The log of updates in the user's state folder, beside the record of an
// unfinished update: one JSON object a line in updates.jsonl for every update
// that reached the scanner, from the window, the console or one scanner of a
// several-scanner run, and the byte transcript of each one that failed in
// transcripts/. It keeps the newest 10,000 lines and 20 transcripts. A log
// that cannot be written costs a warning, never the update.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace romwright {

inline constexpr int kUpdateLogLines = 10000;
inline constexpr int kKeptTranscripts = 20;
inline constexpr const char *kUpdateLogName = "updates.jsonl";
inline constexpr const char *kTranscriptFolder = "transcripts";

struct UpdateLogContents {
    bool readable = true;             // false: the log stands there but could not be read
    std::vector<QJsonObject> entries; // oldest first
    std::vector<QByteArray> lines;    // each entry's line as it stands in the log
    int damaged = 0;                  // lines that are no JSON object, left out
};

class UpdateLog {
public:
    explicit UpdateLog(QString folder, int maxLines = kUpdateLogLines);

    QString path() const;

    // Adds the entry as the newest line; the oldest lines go when there
    // would be more than the log keeps. Several processes may append at once
    // (the scanners of a several-scanner run). False when it could not be
    // written (no state folder, a full disk, a folder in the log's place).
    // The log is rewritten whole beside itself and takes its place, never
    // written through a link: a symbolic link in its place is renamed aside
    // (updates.jsonl.link), a new log begun, and a line put in linksSetAside
    // to say so.
    bool append(const QJsonObject &entry, QStringList *linksSetAside = nullptr) const;

    // Writes a failed update's transcript as transcripts/STEM.txt and gives
    // that path relative to the folder, the name its log line carries;
    // empty when it could not be written. The oldest transcripts go. Written
    // as the log is; a link in the transcripts' folder's place is set aside.
    QString keepTranscript(const QString &stem, const QString &text,
                           QStringList *linksSetAside = nullptr) const;

    // A missing log has no entries and is readable.
    UpdateLogContents read() const;

private:
    QString m_folder;
    int m_maxLines;
};

// The entries as a table, oldest first and the newest last: date and time,
// port, model, processor, firmware file, result, blocks sent and seconds.
QString historyTable(const std::vector<QJsonObject> &entries);

} // namespace romwright
