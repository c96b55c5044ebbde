#pragma once
// frmMain: the program's one working window. It only shows state and reports
// clicks; what a click does lives in the controller and the layers below.

#include "app/window/TwipScale.h"
#include "view/MainView.h"

#include <QHash>
#include <QMainWindow>

#include <array>
#include <functional>
#include <map>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QMimeData;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace romwright {

class LampWidget;

// What the Port menu calls port n: its COM name on Windows, elsewhere the
// device the system knows it by.
QString portEntryName(int port, const QString &device);

class MainWindow : public QMainWindow, public MainView {
    Q_OBJECT
public:
    static constexpr int kClientWidthTwips = 7740;
    static constexpr int kClientHeightTwips = 5925;
    static constexpr int kPortEntries = 8;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // MainView
    void setLamp(LampId id, Lamp colour) override;
    Lamp lamp(LampId id) const override;
    void setControlEnabled(ControlId id, bool enabled) override;
    bool isControlEnabled(ControlId id) const override;
    void setText(LabelId id, const QString &text) override;
    QString text(LabelId id) const; // the whole text, however the label elides it
    void setPortMenuVisible(bool visible) override;
    bool isPortMenuVisible() const override;
    void setFileMenuVisible(bool visible) override;
    bool isFileMenuVisible() const override;
    void setPortTicked(int port) override;
    int portTicked() const override;
    void setProcessorTicked(int index) override;
    int processorTicked() const override;
    void setUpdatingNoteVisible(bool visible) override;
    bool isUpdatingNoteVisible() const override;
    void setBusy(bool busy) override;
    bool isBusy() const override;
    void setProgress(int sent, int total) override;

    // The device behind each port (index 0 = port 1); the Port menu lists
    // the ports with one, the first eight at its top, the rest under More.
    void setPortDevices(const QStringList &devices);
    // Asked for the devices each time the Port menu opens: ports come and go.
    void setPortSource(std::function<QStringList()> devices) { m_portSource = std::move(devices); }
    // The names a device is also known by (/dev/serial/by-id/...), shown as
    // its entry's tip.
    void setPortAliases(QHash<QString, QString> aliases) { m_portAliases = std::move(aliases); }

    // File > Forget unfinished update, shown while a record is held.
    void setForgetRecordVisible(bool visible);

    // One of the processor options is selected.
    bool processorChosen() const;

    // Centres the window on its screen; call before the first show.
    void centre();

    const TwipScale &scale() const { return m_scale; }
    QAction *portAction(int port) const; // the entry of port n, null when it is not listed

    // While locked the menus, the buttons and the options take no click, no
    // shortcut and no key: for waits that must run to their end (a search).
    void setLocked(bool locked);
    bool isLocked() const { return m_locked; }

    // The status line under the window: what the program waits for now.
    void setStatus(const QString &text);
    QString status() const;

    // Asked as the Port menu opens: may Search Again run now?
    void setSearchAgainCheck(std::function<bool()> allowed) { m_searchAllowed = std::move(allowed); }

    // Asked when the user closes the window; false keeps it open.
    void setCloseCheck(std::function<bool()> mayClose) { m_mayClose = std::move(mayClose); }

signals:
    void portClicked(int port);            // mnuCom_Click(Index)
    void openFileClicked();                // mnuFileOpen_Click, cmdBrowse_Click, Ctrl+O
    void fileDropped(const QString &path); // one local file dropped while the "...." button is usable
    void processorClicked(int index);      // optProcessor_Click(Index)
    void programClicked();                 // cmdProgram_Click
    void exitClicked();                    // ExitCommand_Click, also File > Exit (Ctrl+Q)
    void aboutClicked();                   // mnuAbout_Click
    void viewHelpClicked();                // mnuHelpViewHelp_Click
    void windowHelpClicked();              // F1: this window's page
    void forgetRecordClicked();            // File > Forget unfinished update
    void keyReleased(int keyCode);         // Form_KeyUp
    void searchAgainClicked();             // Port > Search Again
    void lampSet(LampId id, Lamp colour);
    void statusChanged(const QString &text);
    void closing(); // Form_Unload, then Form_Terminate

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMenu *menuOf(ControlId id) const;     // the Port, File and Help menus; else null
    QWidget *widgetOf(ControlId id) const; // the buttons and processor options; else null
    QLabel *labelOf(LabelId id) const;
    void buildMenus();
    void buildPortMenu();
    void buildFileMenu();
    void buildHelpMenu();
    QAction *windowKey(const char *name, const QKeySequence &key);
    void buildSettings(QWidget *client);
    void buildUpdating(QWidget *client);
    void buildButtons(QWidget *client);
    QLabel *addLabel(QWidget *parent, const char *name, const QString &text, QRect geometry, bool blue,
                     bool bold);
    LampWidget *addLamp(QWidget *parent, const char *name, QRect geometry);
    LampWidget *lampWidget(LampId id) const;
    void syncFileExit();
    bool acceptsDrop(const QMimeData *data) const;
    void showPortDevice();

    TwipScale m_scale;
    QFont m_font;

    QMenu *m_portMenu = nullptr;
    QMenu *m_fileMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QAction *m_fileExit = nullptr;
    QAction *m_quitKey = nullptr; // Ctrl+Q while File > Exit is off
    QAction *m_forgetRecord = nullptr;
    QAction *m_helpKey = nullptr; // F1
    QAction *m_searchAgain = nullptr;
    std::function<bool()> m_searchAllowed;
    bool m_locked = false;
    QMenu *m_morePorts = nullptr;
    std::function<QStringList()> m_portSource;
    std::map<int, QAction *> m_portActions;
    int m_ticked = 0;

    QLabel *m_lblScanMod = nullptr;
    QLabel *m_lblPort = nullptr;
    QLabel *m_lblPortDevice = nullptr;
    QStringList m_portDevices;
    QHash<QString, QString> m_portAliases;
    QLabel *m_lblFirmFile = nullptr;
    QLabel *m_lblUpdating = nullptr;
    QPushButton *m_cmdBrowse = nullptr;
    QPushButton *m_cmdProgram = nullptr;
    QPushButton *m_exitCommand = nullptr;
    std::array<QRadioButton *, 2> m_optProcessor{};
    std::array<LampWidget *, 7> m_lamps{};
    QProgressBar *m_progress = nullptr;
    QLabel *m_lblStatus = nullptr;
    bool m_busy = false;
    std::function<bool()> m_mayClose;
    // Keys whose press this window saw: a release counts only after its own press.
    QList<int> m_pressedKeys;
};

} // namespace romwright
