#include "platform/ChildProcess.h"

#include "platform/WindowsEndEvent.h"

#include <QMetaObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QVariant>

#include <cstdlib>
#include <io.h>
#include <mutex>
#include <thread>
#include <windows.h>

namespace romwright {

namespace {

// One job for all children: when the parent ends, however it ends, the
// system closes its handle to the job and ends every process in it.
HANDLE childrenJob()
{
    static const HANDLE job = [] {
        HANDLE created = CreateJobObjectW(nullptr, nullptr);
        if (created) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
        return created;
    }();
    return job;
}

} // namespace

bool isTerminal(std::FILE *stream)
{
    return _isatty(_fileno(stream)) != 0;
}

void matchConsoleCodePage()
{
    static const UINT was = GetConsoleOutputCP(); // 0 without a console
    const UINT ansi = GetACP();
    if (was == 0 || was == ansi || !SetConsoleOutputCP(ansi))
        return;
    std::atexit([] { SetConsoleOutputCP(was); });
}

void startInOwnGroup(QProcess &process)
{
    // The child's end event (see WindowsEndEvent.h): inherited, its handle
    // named in the child's environment, closed when the process object goes.
    // Set, it stays set: the child may wait for it in more than one place.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    if (HANDLE end = CreateEventW(&inherited, TRUE, FALSE, nullptr)) {
        QProcessEnvironment environment = process.processEnvironment();
        if (environment.isEmpty())
            environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(kEndEventVariable), QString::number(quintptr(end)));
        process.setProcessEnvironment(environment);
        process.setProperty(kEndEventVariable, QVariant::fromValue(quintptr(end)));
        QObject::connect(&process, &QObject::destroyed, [end] { CloseHandle(end); });
    }
    // A group of its own: Ctrl-C at the console reaches the parent alone.
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments *arguments) { arguments->flags |= CREATE_NEW_PROCESS_GROUP; });
    QObject::connect(&process, &QProcess::started, &process, [&process] {
        HANDLE job = childrenJob();
        HANDLE child = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, DWORD(process.processId()));
        if (job && child)
            AssignProcessToJobObject(job, child);
        if (child)
            CloseHandle(child);
    });
}

void sendSignal(QProcess &process, int)
{
    // One notice only: a second one would end the child at once, as a second
    // Ctrl-C does. Without its event, Ctrl-Break, which unlike Ctrl-C can be
    // sent to another group (sharing this console) and which the child's
    // handler takes as Ctrl-C.
    if (const quintptr end = process.property(kEndEventVariable).value<quintptr>())
        SetEvent(HANDLE(end));
    else if (process.processId() > 0)
        GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, DWORD(process.processId()));
}

// Console input has no notifier the event loop could wait on for bytes (its
// handle is signalled by any console event, mouse and focus included), so a
// thread of its own reads it and hands each piece to the event loop. The
// thread may sit in a read until the program ends: it owns nothing but the
// shared state, which outlives whichever side ends first.
class StandardInput::Source {
public:
    struct Shared {
        std::mutex mutex;
        StandardInput *owner = nullptr; // cleared when the owner goes
        QByteArray held;                // read while input was not wanted
        bool ended = false;
    };
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
};

StandardInput::StandardInput() = default;

StandardInput::~StandardInput()
{
    if (m_source) {
        const std::lock_guard lock(m_source->shared->mutex);
        m_source->shared->owner = nullptr;
    }
}

void StandardInput::setEnabled(bool enabled)
{
    if (m_ended)
        return;
    m_enabled = enabled;
    if (!m_source && enabled) {
        m_source = std::make_unique<Source>();
        m_source->shared->owner = this;
        std::thread([shared = m_source->shared] {
            HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
            char buffer[4096];
            for (;;) {
                DWORD n = 0;
                const bool ok = input && input != INVALID_HANDLE_VALUE &&
                                ReadFile(input, buffer, sizeof buffer, &n, nullptr) && n > 0;
                const std::lock_guard lock(shared->mutex);
                if (ok)
                    shared->held.append(buffer, qsizetype(n));
                else
                    shared->ended = true;
                if (!shared->owner)
                    return;
                QMetaObject::invokeMethod(shared->owner, &StandardInput::read, Qt::QueuedConnection);
                if (!ok)
                    return;
            }
        }).detach();
    }
    if (enabled && m_source)
        read(); // what came while input was not wanted
}

void StandardInput::read()
{
    if (!m_enabled || m_ended || !m_source)
        return;
    QByteArray bytesRead;
    bool finished = false;
    {
        const std::lock_guard lock(m_source->shared->mutex);
        bytesRead = std::exchange(m_source->shared->held, QByteArray());
        finished = m_source->shared->ended;
    }
    if (!bytesRead.isEmpty())
        emit bytes(bytesRead);
    if (finished) {
        m_ended = true;
        emit ended();
    }
}

} // namespace romwright
