#pragma once
// frmChooseScanner: asks which scanner is attached when the scanner answers
// only with its bootloader's prompt and cannot name its model.

#include <QDialog>
#include <functional>
#include <optional>

namespace romwright {

class TwipScale;

class ChooseScannerDialog : public QDialog {
    Q_OBJECT
public:
    // mayExit is asked when Exit is pressed (it may warn); false keeps the
    // chooser open. Unset: Exit ends at once.
    explicit ChooseScannerDialog(QWidget *parent = nullptr, std::function<bool()> mayExit = {});

    // "Halvern1450", "Jorlith750" or "Wexmoor 3650"; empty until a button is
    // pressed, so closing the window (its close button, Esc) chooses nothing.
    QString Model() const { return m_model; }
    // The user pressed Exit: the program is to end.
    bool exitChosen() const { return m_exit; }

private:
    void choose(const QString &model);
    void addFamilies(const TwipScale &scale, const QFont &font);

    std::function<bool()> m_mayExit;
    QString m_model;
    bool m_exit = false;
};

// Shows the chooser modally and answers its Model (empty when closed without
// a choice), or nullopt for Exit.
std::optional<QString> chooseScannerWindow(QWidget *parent, std::function<bool()> mayExit = {});

} // namespace romwright
