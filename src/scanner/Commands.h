#pragma once
// The command queue of a Scanner: commands of one exchange, keyed by their
// text, sent in one go. Each command is written, the queue pauses (blocking:
// the scanner answers within the pause and nothing else may read the port
// meanwhile) and then takes everything the port holds as the answer.

#include "scanner/Command.h"

#include <memory>
#include <vector>

namespace romwright {

class Scanner;

class Commands {
public:
    using Entry = std::shared_ptr<Command>;

    explicit Commands(Scanner &scanner) : m_scanner(scanner) {}

    // Queues sCommand; a text already queued adds nothing and answers null.
    Entry Add(const QString &sCommand, bool bReturnsString = false);
    // Queues an empty command whose answer is "OK"; null when one is queued.
    Entry ForceOKResponse();

    Entry Item(const QString &sCommand) const;
    qint32 Count() const { return static_cast<qint32>(m_items.size()); }
    void Clear() { m_items.clear(); }

    // Writes every queued command in order and collects its answer. True when
    // each command was answered or needed no answer; false for an empty
    // queue, for the first command that needed an answer and got none (the
    // rest are not sent), and when the port failed. The queue is empty
    // afterwards in every case.
    bool Send();

private:
    Scanner &m_scanner;
    std::vector<Entry> m_items;
};

// "The scanner failed to respond to the "R5" command."
QString noResponseText(const QString &command);

} // namespace romwright
