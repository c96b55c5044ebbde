#include "app/console/ConsoleDialogs.h"

#include "app/console/JsonEvents.h"
#include "app/update/UpdateJson.h"
#include "app/update/UpdateMessages.h"
#include "platform/Types.h"
#include "scanner/ChooserAnswer.h"

#include <cerrno>

namespace romwright {

ConsoleDialogs::ConsoleDialogs(std::FILE *out, std::FILE *in, bool yes) : m_out(out), m_in(in), m_yes(yes) {}

void ConsoleDialogs::message(const QString &text, const QString &title, MessageIcon)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString caption = title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title;
    if (json()) {
        report->event({{json::kEvent, json::events::kMessage},
                       {QStringLiteral("title"), caption},
                       {QStringLiteral("text"), shown}});
        return;
    }
    if (beforePrint)
        beforePrint();
    std::fprintf(m_out, "%s: %s\n", qPrintable(caption), qPrintable(shown));
    std::fflush(m_out);
}

bool ConsoleDialogs::question(const QString &, const QString &, MessageIcon, DefaultAnswer)
{
    return false;
}

std::unique_ptr<OpenQuestion> ConsoleDialogs::ask(const QString &text, const QString &title, MessageIcon icon,
                                                  DefaultAnswer defaultAnswer,
                                                  std::function<void(bool yes)> answered)
{
    answered(question(text, title, icon, defaultAnswer));
    return nullptr;
}

QString ConsoleDialogs::inputBox(const QString &, const QString &, const QString &defaultText)
{
    return defaultText;
}

QString ConsoleDialogs::openFile(const QString &, const QString &, const QString &)
{
    return QString();
}

std::optional<QString> ConsoleDialogs::chooseScanner()
{
    if (!m_chooserAnswer.isEmpty())
        return m_chooserAnswer;
    if (m_inputEnded)
        return QString(); // nobody is left to answer
    // The scanner answers only with its bootloader's prompt, or PROGRAM has
    // no model to check the file against: ask which it is.
    for (;;) {
        if (json()) {
            prompt(QStringLiteral("chooser"), chooserQuestion(), QStringLiteral("Choose Your Scanner"));
        } else {
            std::fprintf(m_out, "Choose Your Scanner: %s? ", qPrintable(chooserQuestion()));
            std::fflush(m_out);
        }
        QByteArray line;
        int c = 0;
        while ((c = std::fgetc(m_in)) != EOF && c != '\n')
            line += char(c);
        if (c == EOF && line.isEmpty()) {
            say("\nStandard input ended without a choice.\n");
            m_inputEnded = true;
            return QString();
        }
        const ChooserAnswer answer = parseChooserAnswer(QString::fromLocal8Bit(line));
        if (answer.reply == ChooserReply::Model)
            return answer.model;
        if (answer.reply == ChooserReply::Exit)
            return std::nullopt;
    }
}

bool ConsoleDialogs::powerCycle(const QString &text, const QString &title)
{
    if (json()) {
        prompt(QStringLiteral("power-cycle"), text, title);
        if (m_yes)
            return true;
    } else {
        message(text, title, MessageIcon::None);
        if (m_yes) {
            std::fputs("(--yes: going on)\n", m_out);
            std::fflush(m_out);
            return true;
        }
        std::fputs("Press Enter when the scanner is back on.\n", m_out);
        std::fflush(m_out);
    }
    // Only the old-boot route asks, once its new boot software is in.
    return waitForEnter(QByteArray("Standard input ended before Enter was pressed. ") +
                        messages::kInterruptedNewBoot + '\n');
}

bool ConsoleDialogs::finishPrompt(const QString &text)
{
    if (json()) {
        prompt(QStringLiteral("unfinished-update"), text, QStringLiteral("Unfinished Update"));
        if (m_yes)
            return true;
    } else {
        if (beforePrint)
            beforePrint();
        std::fprintf(m_out, "%s\n", qPrintable(text));
        if (m_yes) {
            std::fflush(m_out);
            return true;
        }
        std::fputs("Press Enter to go on, or Ctrl-C to leave it for now.\n", m_out);
        std::fflush(m_out);
    }
    return waitForEnter("Standard input ended before Enter was pressed: the unfinished update is left as "
                        "it is.\n");
}

bool ConsoleDialogs::waitForEnter(const QByteArray &endOfInput)
{
    for (;;) {
        const int c = std::fgetc(m_in);
        if (c == '\n')
            return true;
        if (c == EOF && std::ferror(m_in) && errno == EINTR)
            return false; // a signal ends the program
        if (c == EOF) {
            say(endOfInput.constData());
            return false;
        }
    }
}

void ConsoleDialogs::prompt(const QString &kind, const QString &text, const QString &title)
{
    // The answer a script gives: a line on standard input, or none with --yes.
    report->event({{json::kEvent, json::events::kPrompt},
                   {QStringLiteral("kind"), kind},
                   {QStringLiteral("title"), title},
                   {QStringLiteral("text"), text},
                   {QStringLiteral("waiting"), !(m_yes && kind != QLatin1String("chooser"))}});
}

void ConsoleDialogs::say(const char *line)
{
    if (json()) {
        report->error(QString::fromLatin1(line).trimmed());
        return;
    }
    std::fputs(line, m_out);
    std::fflush(m_out);
}

} // namespace romwright
