#pragma once
// The window's view and dialogs as the line's thread uses them: every call
// is made on the window's thread (WindowCalls) and waited for.

#include "app/window/WindowCalls.h"
#include "platform/Dialogs.h"
#include "view/MainView.h"

namespace romwright {

class ViewOnWindowThread final : public MainView {
public:
    ViewOnWindowThread(MainView &view, WindowCalls &calls) : m_view(view), m_calls(calls) {}

    void setLamp(LampId id, Lamp colour) override
    {
        m_calls([&] { m_view.setLamp(id, colour); });
    }
    Lamp lamp(LampId id) const override
    {
        return m_calls([&] { return m_view.lamp(id); });
    }
    void setControlEnabled(ControlId id, bool enabled) override
    {
        m_calls([&] { m_view.setControlEnabled(id, enabled); });
    }
    bool isControlEnabled(ControlId id) const override
    {
        return m_calls([&] { return m_view.isControlEnabled(id); });
    }
    void setText(LabelId id, const QString &text) override
    {
        m_calls([&] { m_view.setText(id, text); });
    }
    void setPortMenuVisible(bool visible) override
    {
        m_calls([&] { m_view.setPortMenuVisible(visible); });
    }
    bool isPortMenuVisible() const override
    {
        return m_calls([&] { return m_view.isPortMenuVisible(); });
    }
    void setFileMenuVisible(bool visible) override
    {
        m_calls([&] { m_view.setFileMenuVisible(visible); });
    }
    bool isFileMenuVisible() const override
    {
        return m_calls([&] { return m_view.isFileMenuVisible(); });
    }
    void setPortTicked(int port) override
    {
        m_calls([&] { m_view.setPortTicked(port); });
    }
    int portTicked() const override
    {
        return m_calls([&] { return m_view.portTicked(); });
    }
    void setProcessorTicked(int index) override
    {
        m_calls([&] { m_view.setProcessorTicked(index); });
    }
    int processorTicked() const override
    {
        return m_calls([&] { return m_view.processorTicked(); });
    }
    void setUpdatingNoteVisible(bool visible) override
    {
        m_calls([&] { m_view.setUpdatingNoteVisible(visible); });
    }
    bool isUpdatingNoteVisible() const override
    {
        return m_calls([&] { return m_view.isUpdatingNoteVisible(); });
    }
    void setBusy(bool busy) override
    {
        m_calls([&] { m_view.setBusy(busy); });
    }
    bool isBusy() const override
    {
        return m_calls([&] { return m_view.isBusy(); });
    }
    void setProgress(int sent, int total) override
    {
        m_calls([&] { m_view.setProgress(sent, total); });
    }

private:
    MainView &m_view;
    WindowCalls &m_calls;
};

class DialogsOnWindowThread final : public Dialogs {
public:
    DialogsOnWindowThread(Dialogs &dialogs, WindowCalls &calls) : m_dialogs(dialogs), m_calls(calls) {}

    void message(const QString &text, const QString &title, MessageIcon icon) override
    {
        m_calls([&] { m_dialogs.message(text, title, icon); });
    }
    bool question(const QString &text, const QString &title, MessageIcon icon,
                  DefaultAnswer defaultAnswer = DefaultAnswer::No) override
    {
        return m_calls([&] { return m_dialogs.question(text, title, icon, defaultAnswer); });
    }
    // Asked by the window itself (the close question): answered there.
    std::unique_ptr<OpenQuestion> ask(const QString &text, const QString &title, MessageIcon icon,
                                      DefaultAnswer defaultAnswer,
                                      std::function<void(bool yes)> answered) override
    {
        return m_calls([&] { return m_dialogs.ask(text, title, icon, defaultAnswer, std::move(answered)); });
    }
    bool powerCycle(const QString &text, const QString &title) override
    {
        return m_calls([&] { return m_dialogs.powerCycle(text, title); });
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        return m_calls([&] { return m_dialogs.inputBox(prompt, title, defaultText); });
    }
    QString openFile(const QString &title, const QString &filter, const QString &initialFolder) override
    {
        return m_calls([&] { return m_dialogs.openFile(title, filter, initialFolder); });
    }
    std::optional<QString> chooseScanner() override
    {
        return m_calls([&] { return m_dialogs.chooseScanner(); });
    }

private:
    Dialogs &m_dialogs;
    WindowCalls &m_calls;
};

} // namespace romwright
