#pragma once
// frmAbout: the program's title, version and a way to the system's own
// information tool.

#include "app/window/AboutSysInfo.h"

#include <QDialog>

namespace romwright {

class Registry;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // facts: what System Information says of the program besides its version.
    AboutDialog(const Registry &registry, QWidget *parent = nullptr, SysInfoTools tools = {},
                ProgramFacts facts = {});

    // "Version 4.0.1" from the program's version.
    static QString versionText();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const Registry &m_registry;
    SysInfoTools m_tools;
    ProgramFacts m_facts;
    int m_ruleLeft, m_ruleRight, m_greyY, m_whiteY;
};

// The program's icon as the About box shows it, 48 x 48 pixels.
QPixmap programIcon();

inline constexpr const char *kLicenceLine =
    "Free software under the GNU General Public License, version 3 or later.";

// Shows the About box modally, owned by parent.
void showAbout(QWidget *parent, const Registry &registry, const ProgramFacts &facts = {});

} // namespace romwright
