#pragma once
// What the console needs of the operating system to run one child process
// per scanner and to read a person's answers while it waits for them.

#include <QByteArray>
#include <QObject>

#include <cstdio>
#include <memory>

class QProcess;

namespace romwright {

// Whether the stream goes to (or comes from) a terminal, where a person sees it.
bool isTerminal(std::FILE *stream);

// The console shows the program's text in the code page the text is written
// in. On Windows the console's own (an OEM code page) differs from the ANSI
// one the program writes, so a file name with an accent would show garbled:
// the console is switched to the program's for the run and back at its end.
void matchConsoleCodePage();

// The child gets a process group of its own, so that Ctrl-C on the terminal
// reaches the parent alone, which passes it on once; and it ends should the
// parent die (Linux: SIGTERM; Windows: a job object that ends its processes
// when the parent's handle to it closes). Call before start().
void startInOwnGroup(QProcess &process);

// Sends the signal (SIGINT, SIGTERM, SIGHUP) to a running child; on Windows
// every one is a Ctrl-Break to the child's process group, which the child
// takes as SIGINT.
void sendSignal(QProcess &process, int signal);

// Standard input read as its bytes arrive, without blocking: bytes() for
// what came, ended() once when it is closed or fails. Reading starts with
// setEnabled(true); while disabled, what is typed stays in the terminal.
class StandardInput : public QObject {
    Q_OBJECT
public:
    StandardInput();
    ~StandardInput() override;

    void setEnabled(bool enabled);

signals:
    void bytes(const QByteArray &bytes);
    void ended();

private:
    class Source; // how this system learns that input has come
    void read();

    std::unique_ptr<Source> m_source;
    bool m_enabled = false;
    bool m_ended = false;
};

} // namespace romwright
