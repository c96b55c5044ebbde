#pragma once
// What every front end's command line shares: each option at most once, an
// option's value never another option, and a usage error said in one line.

#include <QString>
#include <QStringList>

#include <optional>

namespace romwright {

// "romwright: WHY" and where the whole usage is, each on a line of its own.
QString usageErrorText(const QString &why);

// Prints usageErrorText(why) on standard error.
void printUsageError(const QString &why);

// True for an argument that is an option ("--yes", "-h"), not a value; a
// negative number ("-1") is a value, and one that is refused as such.
bool looksLikeOption(const QString &argument);

// The options of a command that takes only --json beside its own name
// (--history, --list-ports): whether --json was given; nothing after a usage
// error, which has been said.
std::optional<bool> jsonOnlyOptions(const QStringList &arguments, const QString &command);

// Reads the options one after another.
class OptionReader {
public:
    explicit OptionReader(QStringList arguments) : m_arguments(std::move(arguments)) {}

    // The next argument; false at the end.
    bool next();
    const QString &argument() const { return m_arguments[m_index]; }

    // False when the current argument was given before; error() says so.
    bool firstTime();

    // The argument after the current option, which it then passes. Nothing
    // when there is none or when it is another option ("--model --yes"):
    // error() then says that the option takes what (the end of "--model
    // takes ...").
    std::optional<QString> value(const QString &takes);

    // The argument after the current option when there is one and it is no
    // option, which it then passes; nothing otherwise.
    std::optional<QString> optionalValue();

    const QString &error() const { return m_error; }

private:
    QStringList m_arguments;
    qsizetype m_index = -1;
    QStringList m_given;
    QString m_error;
};

} // namespace romwright
