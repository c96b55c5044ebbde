#include "app/console/ConsoleView.h"

namespace romwright {

const char *lampLabel(LampId id)
{
    switch (id) {
    case LampId::ComStatus:
        return "Port";
    case LampId::FileOk:
        return "File";
    case LampId::Communication:
        return "Communication";
    case LampId::FlashErase:
        return "Flash erase complete";
    case LampId::Working:
        return "Updating";
    case LampId::Program:
        return "Program";
    case LampId::RamLoader:
        break;
    }
    return "";
}

ConsoleView::ConsoleView(std::FILE *out) : m_out(out)
{
    m_shown.fill(Lamp::Grey);
}

void ConsoleView::setLamp(LampId id, Lamp colour)
{
    ViewState::setLamp(id, colour);
    const char *label = lampLabel(id);
    if (!*label || (id == LampId::Working && m_passRunning))
        return;
    Lamp &shown = m_shown[static_cast<std::size_t>(id)];
    if (shown == colour)
        return;
    shown = colour;
    if (colour != Lamp::Grey && report && report->json()) {
        report->event({{QStringLiteral("event"), QStringLiteral("lamp")},
                       {QStringLiteral("lamp"), QLatin1String(label)},
                       {QStringLiteral("colour"),
                        colour == Lamp::Green ? QStringLiteral("green") : QStringLiteral("red")}});
    } else if (colour != Lamp::Grey) {
        if (beforePrint)
            beforePrint();
        std::fprintf(m_out, "%s: %s\n", label, colour == Lamp::Green ? "green" : "red");
        std::fflush(m_out);
    }
}

void ConsoleView::setProgress(int sent, int total)
{
    ViewState::setProgress(sent, total);
    m_passRunning = total > 0;
}

} // namespace romwright
