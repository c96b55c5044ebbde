#include "scanner/Commands.h"

#include "platform/SerialPort.h"
#include "scanner/Scanner.h"

namespace romwright {

Commands::Entry Commands::Add(const QString &sCommand, bool bReturnsString)
{
    if (Item(sCommand))
        return nullptr;
    auto command = std::make_shared<Command>(sCommand, bReturnsString);
    m_items.push_back(command);
    return command;
}

Commands::Entry Commands::ForceOKResponse()
{
    auto command = Add(QString());
    if (command)
        command->setAnswer(QStringLiteral("OK"));
    return command;
}

Commands::Entry Commands::Item(const QString &sCommand) const
{
    for (const auto &command : m_items)
        if (command->CommandText() == sCommand)
            return command;
    return nullptr;
}

bool Commands::Send()
{
    bool ok = false;
    SerialPort *port = m_scanner.Comm();
    for (const auto &command : m_items) {
        // A port that is closed or gone fails the exchange; nothing after it is sent.
        if (!port || port->output(command->CommandText().toLatin1()) != CommError::None) {
            ok = false;
            break;
        }
        const auto wait =
            command->Wait().count() > 0 ? command->Wait() : m_scanner.timings().defaultCommandWait;
        m_scanner.clock().pause(wait);
        const QString answer = QString::fromLatin1(port->input());
        if (command->ReturnsString() && answer.isEmpty()) {
            command->setAnswer(noResponseText(command->CommandText()));
            ok = false;
            break;
        }
        ok = true;
        command->setAnswer(command->ReturnsString() ? answer : QStringLiteral("OK"));
    }
    Clear();
    return ok;
}

QString noResponseText(const QString &command)
{
    return QStringLiteral("The scanner failed to respond to the \"%1\" command.").arg(command);
}

} // namespace romwright
