#include "app/console/ConsoleDialogs.h"

#include "platform/Types.h"
#include "scanner/ChooserAnswer.h"

#include <cerrno>

namespace romwright {

ConsoleDialogs::ConsoleDialogs(std::FILE *out, std::FILE *in, bool yes) : m_out(out), m_in(in), m_yes(yes) {}

void ConsoleDialogs::message(const QString &text, const QString &title, MessageIcon)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (beforePrint)
        beforePrint();
    const QString caption = title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title;
    std::fprintf(m_out, "%s: %s\n", qPrintable(caption), qPrintable(shown));
    std::fflush(m_out);
}

bool ConsoleDialogs::question(const QString &, const QString &, MessageIcon)
{
    return false;
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
    // The scanner answers only with its bootloader's prompt: ask which it is.
    for (;;) {
        std::fprintf(m_out, "Choose Your Scanner: %s? ", qPrintable(chooserQuestion()));
        std::fflush(m_out);
        QByteArray line;
        int c = 0;
        while ((c = std::fgetc(m_in)) != EOF && c != '\n')
            line += char(c);
        if (c == EOF && line.isEmpty()) {
            std::fputs("\nStandard input ended without a choice: the program ends here.\n", m_out);
            std::fflush(m_out);
            return std::nullopt;
        }
        const ChooserAnswer answer = parseChooserAnswer(QString::fromLocal8Bit(line));
        if (answer.reply == ChooserReply::Model)
            return answer.model;
        if (answer.reply == ChooserReply::Exit)
            return std::nullopt;
    }
}

bool ConsoleDialogs::powerCyclePrompt(const QString &text, const QString &title)
{
    message(text, title, MessageIcon::None);
    if (m_yes) {
        std::fputs("(--yes: going on)\n", m_out);
        std::fflush(m_out);
        return true;
    }
    std::fputs("Press Enter when the scanner is back on.\n", m_out);
    std::fflush(m_out);
    for (;;) {
        const int c = std::fgetc(m_in);
        if (c == '\n')
            return true;
        if (c == EOF && std::ferror(m_in) && errno == EINTR)
            return false; // a signal ends the program
        if (c == EOF) {
            std::fputs("Standard input ended before Enter was pressed: the update stops here.\n", m_out);
            std::fflush(m_out);
            return false;
        }
    }
}

} // namespace romwright
