#pragma once
// A MainView that only remembers: the design state of the window, changed
// by the calls. The console front end builds on it and tests read it back.

#include "view/MainView.h"

#include <array>

namespace romwright {

class ViewState : public MainView {
public:
    void setLamp(LampId id, Lamp colour) override { m_lamps[index(id)] = colour; }
    Lamp lamp(LampId id) const override { return m_lamps[index(id)]; }

    void setControlEnabled(ControlId id, bool enabled) override { m_enabled[index(id)] = enabled; }
    bool isControlEnabled(ControlId id) const override { return m_enabled[index(id)]; }

    void setText(LabelId id, const QString &text) override { m_texts[index(id)] = text; }
    QString text(LabelId id) const { return m_texts[index(id)]; } // what a person would read

    void setPortMenuVisible(bool visible) override { m_portMenuVisible = visible; }
    bool isPortMenuVisible() const override { return m_portMenuVisible; }
    void setFileMenuVisible(bool visible) override { m_fileMenuVisible = visible; }
    bool isFileMenuVisible() const override { return m_fileMenuVisible; }

    void setPortTicked(int port) override { m_ticked = port; }
    int portTicked() const override { return m_ticked; }

    void setProcessorTicked(int index) override { m_processor = index; }
    int processorTicked() const override { return m_processor; }

    void setUpdatingNoteVisible(bool visible) override { m_updatingNote = visible; }
    bool isUpdatingNoteVisible() const override { return m_updatingNote; }

    void setBusy(bool busy) override { m_busy = busy; }
    bool isBusy() const override { return m_busy; }

    void setProgress(int sent, int total) override
    {
        m_progressSent = sent;
        m_progressTotal = total;
    }
    int progressSent() const { return m_progressSent; }
    int progressTotal() const { return m_progressTotal; }

private:
    template <typename E> static constexpr std::size_t index(E e) { return static_cast<std::size_t>(e); }

    std::array<Lamp, 7> m_lamps{Lamp::Grey, Lamp::Grey, Lamp::Grey, Lamp::Grey,
                                Lamp::Grey, Lamp::Grey, Lamp::Grey};
    // Design state: PROGRAM, EXIT, browse and the menus enabled, processor options disabled.
    std::array<bool, 8> m_enabled{true, true, true, true, true, true, false, false};
    std::array<QString, 3> m_texts{QString(), QStringLiteral("None Selected"), QStringLiteral("None")};
    bool m_portMenuVisible = true;
    bool m_fileMenuVisible = true;
    int m_ticked = 0;
    int m_processor = -1;
    bool m_updatingNote = false;
    bool m_busy = false;
    int m_progressSent = 0;
    int m_progressTotal = 0;
};

} // namespace romwright
