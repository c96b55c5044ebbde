#pragma once
// The program's questions as real dialogs, owned by the main window.

#include "platform/Dialogs.h"

#include <QPointer>
#include <QWidget>

#include <functional>

#include <QMessageBox>

class QFileDialog;

namespace romwright {

class Clock;
class ClockTimer;

// The power-cycle prompt. OK counts down the seconds the scanner needs off
// and takes neither a click nor Enter nor the close box before they have run.
class PowerCycleBox : public QMessageBox {
    Q_OBJECT
public:
    PowerCycleBox(QWidget *parent, const QString &text, const QString &title, Clock &clock);
    ~PowerCycleBox() override;
    int secondsLeft() const { return m_left; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void tick();

    std::unique_ptr<ClockTimer> m_timer;
    QPushButton *m_ok = nullptr;
    int m_left = 0;
};

// Shows the prompt modally; true once OK was taken.
bool powerCycleBox(QWidget *parent, const QString &text, const QString &title, Clock &clock);

// "H*.S19" as a pattern that lists the same files on a case-sensitive file
// system as on a case-blind one: "[Hh]*.[Ss]19".
QString caseBlindPattern(const QString &pattern);

// The Open dialog's filters from "Description|pattern;pattern|...", each
// shown with its patterns. Qt's own dialog (systemDialog false) is given
// the patterns once more, case-blind, as the hidden group it matches by.
QStringList openDialogFilters(const QString &filter, bool systemDialog);

// text with a break allowed (a zero-width space) after each separator of a
// long path or device name, so that a box wraps it whole.
QString wrappableNames(const QString &text);

class WidgetDialogs : public Dialogs {
public:
    // chooser shows the scanner chooser modally; none: closed without a choice.
    using Chooser = std::function<std::optional<QString>(QWidget *parent)>;

    explicit WidgetDialogs(QWidget *parent = nullptr, Chooser chooser = {});

    void message(const QString &text, const QString &title, MessageIcon icon) override;
    bool question(const QString &text, const QString &title, MessageIcon icon,
                  DefaultAnswer defaultAnswer = DefaultAnswer::No) override;
    // The question's box, modal to the window only; no event loop of its own
    // runs beneath whatever the program waits for meanwhile.
    std::unique_ptr<OpenQuestion> ask(const QString &text, const QString &title, MessageIcon icon,
                                      DefaultAnswer defaultAnswer,
                                      std::function<void(bool yes)> answered) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override;
    QString openFile(const QString &title, const QString &filter, const QString &initialFolder) override;
    std::optional<QString> chooseScanner() override;
    // The power-cycle box, counting down on the clock set (none set: as a message).
    bool powerCycle(const QString &text, const QString &title) override;

    void setClock(Clock &clock) { m_clock = &clock; }
    void setParent(QWidget *parent) { m_parent = parent; }
    // Once the program is ending no box opens any more: a wait cut short
    // (the window closed during start-up) must not bring one up after the
    // window has gone. Questions answer No, the rest nothing.
    void silence() { m_silenced = true; }
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

    // The Open dialog as openFile shows it, for a look at what it lists.
    static std::unique_ptr<QFileDialog> makeOpenDialog(QWidget *parent, const QString &title,
                                                       const QString &filter, const QString &initialFolder);

private:
    QPointer<QWidget> m_parent;
    Chooser m_chooser;
    Clock *m_clock = nullptr;
    bool m_silenced = false;
};

} // namespace romwright
