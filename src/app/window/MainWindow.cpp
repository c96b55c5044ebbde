#include "app/window/MainWindow.h"

#include "app/window/LampWidget.h"
#include "platform/FileSystem.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>

namespace romwright {

namespace {

// The captions' dark blue, 0x00C00000 as 0x00BBGGRR.
const QColor kCaptionBlue(0x00, 0x00, 0xC0);

qreal screenDpiX()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

qreal screenDpiY()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

// The text a label stands for, whatever part of it fits.
constexpr const char *kWholeText = "wholeText";

// Too long for its label: cut in the middle, the whole text as the tip and
// for a screen reader.
void showElided(QLabel *label, const QString &text)
{
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width());
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
    label->setAccessibleName(text);
}

std::size_t lampIndex(LampId id)
{
    return static_cast<std::size_t>(id);
}

// Only the active and inactive groups: a disabled control keeps the style's
// grey, so it looks as off as it is.
void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, colour);
    widget->setPalette(palette);
}

// The one local file a drag carries; empty for several, for none or for
// anything else (text, a web address).
QString draggedFile(const QMimeData *data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls[0].isLocalFile())
        return QString();
#ifdef Q_OS_WIN
    return urls[0].toLocalFile();
#else
    // The name's own bytes, also where they are no UTF-8.
    return decodeFileName(QByteArray::fromPercentEncoding(urls[0].path(QUrl::FullyEncoded).toLatin1()));
#endif
}

} // namespace

QString portEntryName(int port, const QString &device)
{
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return QStringLiteral("COM%1").arg(port);
#else
    return device.isEmpty() ? QStringLiteral("port %1").arg(port) : device;
#endif
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_scale(screenDpiX(), screenDpiY())
{
    // Fixed dialog frame: a title bar with the system menu and close box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Halvern - Wexmoor - Jorlith Romwright"));
    setObjectName(QStringLiteral("frmMain"));

    m_font = QApplication::font();
    m_font.setPointSizeF(9.75);
    // Explicit, so children of the bold frames do not inherit their weight.
    m_font.setBold(false);
    setFont(m_font);

    buildMenus();

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(m_scale.x(kClientWidthTwips), m_scale.y(kClientHeightTwips));
    setCentralWidget(client);

    auto *frame2 = new QFrame(client);
    frame2->setObjectName(QStringLiteral("Frame2"));
    frame2->setFrameShape(QFrame::HLine);
    frame2->setFrameShadow(QFrame::Sunken);
    frame2->setGeometry(m_scale.rect(120, 120, 7335, 30));

    buildSettings(client);
    buildUpdating(client);
    buildButtons(client);

    // Beyond the right edge of the client area: the update drives it, nobody sees it.
    m_lamps[lampIndex(LampId::RamLoader)] =
        addLamp(client, "RamLoaderLite", m_scale.rect(8520, 360, 1335, 375));
    m_lamps[lampIndex(LampId::RamLoader)]->setCaption(QStringLiteral("RAM loader"));

    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setTextFormat(Qt::PlainText);
    m_lblStatus->setAccessibleName(QStringLiteral("Status"));
    m_lblStatus->setProperty(kWholeText, QString());
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(m_lblStatus, 1);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // The focus is drawn from the start, not only after the first Tab.
    setAttribute(Qt::WA_KeyboardFocusChange);
    // A firmware file dropped on the window opens as File > Open would open it.
    setAcceptDrops(true);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    setBusy(false);
}

void MainWindow::buildMenus()
{
    buildPortMenu();
    buildFileMenu();
    buildHelpMenu();
}

// A key of the window's own, also while its menu entry is hidden.
QAction *MainWindow::windowKey(const char *name, const QKeySequence &key)
{
    auto *action = new QAction(this);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    return action;
}

void MainWindow::buildPortMenu()
{
    m_portMenu = menuBar()->addMenu(QStringLiteral("&Port"));
    m_portMenu->setObjectName(QStringLiteral("mnuComPort"));
    m_portMenu->setToolTipsVisible(true);
    // The port entries go before the separator, the present ports as
    // setPortDevices names them; beyond the eighth in a submenu.
    m_morePorts = new QMenu(QStringLiteral("&More"), m_portMenu);
    m_morePorts->setObjectName(QStringLiteral("mnuMorePorts"));
    m_morePorts->setToolTipsVisible(true);
    m_portMenu->addMenu(m_morePorts);
    m_morePorts->menuAction()->setVisible(false);
    m_portMenu->addSeparator();
    m_searchAgain = m_portMenu->addAction(QStringLiteral("&Search Again"));
    m_searchAgain->setObjectName(QStringLiteral("mnuSearchAgain"));
    m_searchAgain->setStatusTip(QStringLiteral("Look for the scanner on every serial port again"));
    connect(m_portMenu, &QMenu::aboutToShow, this, [this] {
        if (m_portSource)
            setPortDevices(m_portSource());
        m_searchAgain->setEnabled(!m_searchAllowed || m_searchAllowed());
    });
    connect(m_searchAgain, &QAction::triggered, this, [this] {
        if (!m_locked && (!m_searchAllowed || m_searchAllowed()))
            emit searchAgainClicked();
    });
}

void MainWindow::buildFileMenu()
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("mnuFile"));
    QAction *open = m_fileMenu->addAction(QStringLiteral("&Open..."));
    open->setObjectName(QStringLiteral("mnuFileOpen"));
    open->setShortcut(QKeySequence::Open);
    open->setShortcutContext(Qt::WindowShortcut);
    // Ctrl+O as the "...." button: also while the File menu is hidden, never while it is off.
    addAction(open);
    connect(open, &QAction::triggered, this, [this] {
        if (!m_locked && m_fileMenu->menuAction()->isEnabled())
            emit openFileClicked();
    });
    m_forgetRecord = m_fileMenu->addAction(QStringLiteral("&Forget unfinished update"));
    m_forgetRecord->setObjectName(QStringLiteral("mnuForgetRecord"));
    m_forgetRecord->setVisible(false);
    connect(m_forgetRecord, &QAction::triggered, this, [this] {
        if (!m_locked)
            emit forgetRecordClicked();
    });
    m_fileMenu->addSeparator();
    m_fileExit = m_fileMenu->addAction(QStringLiteral("E&xit"));
    m_fileExit->setObjectName(QStringLiteral("mnuFileExit"));
    m_fileExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_fileExit->setShortcutContext(Qt::WindowShortcut);
    // Also the window's own: Ctrl+Q works while the File menu is hidden.
    addAction(m_fileExit);
    connect(m_fileExit, &QAction::triggered, this, [this] {
        if (!m_locked)
            emit exitClicked();
    });
    // While EXIT is off (an update runs) Ctrl+Q asks as the close box does;
    // on only then, so that the key is never claimed twice.
    m_quitKey = windowKey("quitKey", QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quitKey->setEnabled(false);
    connect(m_quitKey, &QAction::triggered, this, [this] {
        if (!m_locked)
            close();
    });

    // Alt+F4 closes the window as its close box does, also where no window
    // manager takes the key; on Windows the system's own Alt+F4 does the same.
    connect(windowKey("closeWindow", QKeySequence(Qt::ALT | Qt::Key_F4)), &QAction::triggered, this,
            &QWidget::close);
}

void MainWindow::buildHelpMenu()
{
    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    m_helpMenu->setObjectName(QStringLiteral("mnuHelp"));
    QAction *viewHelp = m_helpMenu->addAction(QStringLiteral("&View Help File"));
    viewHelp->setObjectName(QStringLiteral("mnuHelpViewHelp"));
    connect(viewHelp, &QAction::triggered, this, [this] {
        if (!m_locked)
            emit viewHelpClicked();
    });
    // F1 is the help of what has the focus: here, this window's own page.
    m_helpKey = windowKey("helpKey", QKeySequence(Qt::Key_F1));
    connect(m_helpKey, &QAction::triggered, this, [this] {
        if (!m_locked)
            emit windowHelpClicked();
    });
    QAction *about = m_helpMenu->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, &MainWindow::aboutClicked);
}

void MainWindow::buildSettings(QWidget *client)
{
    auto *frame1 = new QGroupBox(QStringLiteral("Settings"), client);
    frame1->setObjectName(QStringLiteral("Frame1"));
    QFont title = m_font;
    title.setBold(true);
    frame1->setFont(title);
    setTextColour(frame1, kCaptionBlue);
    frame1->setGeometry(m_scale.rect(120, 240, 7335, 2055));

    addLabel(frame1, "lblScanner", QStringLiteral("Scanner Model:"), m_scale.rect(300, 420, 1600, 275), true,
             false);
    m_lblScanMod =
        addLabel(frame1, "lblScanMod", QString(), m_scale.rect(2000, 420, 5000, 275), false, false);
    addLabel(frame1, "lblCom", QStringLiteral("Comm Port:"), m_scale.rect(300, 775, 1600, 275), true, false);
    m_lblPort = addLabel(frame1, "lblPort", QStringLiteral("None Selected"),
                         m_scale.rect(2000, 775, 5000, 275), false, false);
    // The device behind the number, just right of it: "(/dev/ttyUSB0)".
    m_lblPortDevice =
        addLabel(frame1, "lblPortDevice", QString(), m_scale.rect(2000, 775, 5000, 275), false, false);
    addLabel(frame1, "lblFile", QStringLiteral("Firmware File:"), m_scale.rect(300, 1150, 1600, 275), true,
             false);
    m_lblFirmFile = addLabel(frame1, "lblFirmFile", QStringLiteral("None"),
                             m_scale.rect(2000, 1150, 4300, 275), false, false);

    m_cmdBrowse = new QPushButton(QStringLiteral("&...."), frame1);
    m_cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    m_cmdBrowse->setFont(m_font);
    setTextColour(m_cmdBrowse, palette().color(QPalette::ButtonText));
    m_cmdBrowse->setGeometry(m_scale.rect(6600, 1100, 500, 375));
    m_cmdBrowse->setAutoDefault(true); // Enter clicks the focused button, as Space does
    m_cmdBrowse->setAccessibleName(QStringLiteral("Choose firmware file"));
    m_cmdBrowse->setToolTip(QStringLiteral("Choose the firmware file"));
    connect(m_cmdBrowse, &QPushButton::clicked, this, &MainWindow::openFileClicked);

    addLabel(frame1, "Label5", QStringLiteral("Wexmoor Processor:"), m_scale.rect(300, 1525, 2200, 275), true,
             false);
    const std::array<QString, 2> captions{QStringLiteral("&Main"), QStringLiteral("&BarCode")};
    const std::array<QRect, 2> places{m_scale.rect(2520, 1500, 900, 360),
                                      m_scale.rect(3500, 1500, 1695, 360)};
    for (int index = 0; index < 2; ++index) {
        auto *option = new QRadioButton(captions[std::size_t(index)], frame1);
        option->setObjectName(QStringLiteral("optProcessor%1").arg(index));
        option->setFont(m_font);
        setTextColour(option, palette().color(QPalette::WindowText));
        option->setGeometry(places[std::size_t(index)]);
        option->setEnabled(false);
        connect(option, &QRadioButton::clicked, this, [this, index] { emit processorClicked(index); });
        m_optProcessor[std::size_t(index)] = option;
    }
}

void MainWindow::buildUpdating(QWidget *client)
{
    auto *frame = new QGroupBox(QStringLiteral("Updating"), client);
    frame->setObjectName(QStringLiteral("fraUpdating"));
    QFont title = m_font;
    title.setBold(true);
    frame->setFont(title);
    setTextColour(frame, kCaptionBlue);
    frame->setGeometry(m_scale.rect(120, 2500, 4095, 3120));

    struct Row {
        LampId id;
        const char *lamp;
        const char *label;
        const char *caption;
        int lampTop;
        int labelTop;
    };
    const std::array rows{
        Row{LampId::ComStatus, "ComStatusLite", "Label2", "Port", 480, 510},
        Row{LampId::FileOk, "FileOkLite", "Label1", "File", 885, 900},
        Row{LampId::Communication, "CommunicationLite", "Label3", "Communication", 1275, 1305},
        Row{LampId::FlashErase, "FlashEraseLite", "Label6", "Flash erase complete", 1680, 1710},
        Row{LampId::Working, "WorkingLite", "Label7", "Updating", 2085, 2100},
        Row{LampId::Program, "ProgramLite", "Label4", "Program", 2475, 2505},
    };
    for (const Row &row : rows) {
        m_lamps[lampIndex(row.id)] = addLamp(frame, row.lamp, m_scale.rect(240, row.lampTop, 300, 300));
        m_lamps[lampIndex(row.id)]->setCaption(QString::fromLatin1(row.caption));
        // The labels have no fixed size; each is as wide as its caption.
        QLabel *label = addLabel(frame, row.label, QString::fromLatin1(row.caption),
                                 m_scale.rect(795, row.labelTop, 2000, 275), true, true);
        label->adjustSize();
    }

    m_lblUpdating =
        addLabel(frame, "lblUpdating", QStringLiteral("Please be patient. This may take several minutes."),
                 m_scale.rect(1900, 2040, 2100, 375), false, false);
    QFont small = m_font;
    small.setPointSizeF(8.25);
    m_lblUpdating->setFont(small);
    m_lblUpdating->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_lblUpdating->setWordWrap(true);
    // The box is sized for a narrow font; a wider one needs a third line,
    // which fits beside the "Program" label without touching it.
    m_lblUpdating->resize(
        m_lblUpdating->width(),
        std::max(m_lblUpdating->height(), m_lblUpdating->heightForWidth(m_lblUpdating->width())));
    m_lblUpdating->setVisible(false);

    // Blocks sent of blocks to send, under the lamps; only during a firmware pass.
    m_progress = new QProgressBar(frame);
    m_progress->setObjectName(QStringLiteral("prgBlocks"));
    m_progress->setFont(small);
    setTextColour(m_progress, palette().color(QPalette::WindowText));
    // A light fill, so the count stays readable where the bar has reached it.
    QPalette bar = m_progress->palette();
    bar.setColor(QPalette::Highlight, QColor(0x9C, 0xC8, 0xF0));
    bar.setColor(QPalette::HighlightedText, palette().color(QPalette::WindowText));
    m_progress->setPalette(bar);
    m_progress->setGeometry(m_scale.rect(240, 2835, 3615, 225));
    m_progress->setFormat(QStringLiteral("%v of %m blocks"));
    m_progress->setAlignment(Qt::AlignCenter);
    m_progress->setAccessibleName(QStringLiteral("Blocks sent"));
    m_progress->setVisible(false);
}

void MainWindow::buildButtons(QWidget *client)
{
    auto *frame3 = new QGroupBox(client);
    frame3->setObjectName(QStringLiteral("Frame3"));
    frame3->setGeometry(m_scale.rect(4440, 2500, 3000, 3120));

    m_cmdProgram = new QPushButton(QStringLiteral("P&ROGRAM"), frame3);
    m_cmdProgram->setObjectName(QStringLiteral("cmdProgram"));
    m_cmdProgram->setGeometry(m_scale.rect(600, 600, 1800, 600));
    m_cmdProgram->setAutoDefault(true);
    m_cmdProgram->setAccessibleName(QStringLiteral("Program"));
    m_cmdProgram->setAccessibleDescription(QStringLiteral("Start the firmware update"));
    connect(m_cmdProgram, &QPushButton::clicked, this, &MainWindow::programClicked);

    m_exitCommand = new QPushButton(QStringLiteral("E&XIT"), frame3);
    m_exitCommand->setObjectName(QStringLiteral("ExitCommand"));
    m_exitCommand->setGeometry(m_scale.rect(600, 1800, 1800, 600));
    m_exitCommand->setAutoDefault(true);
    m_exitCommand->setAccessibleName(QStringLiteral("Exit"));
    connect(m_exitCommand, &QPushButton::clicked, this, &MainWindow::exitClicked);

    // Tab follows the screen: the settings from the top, then the buttons.
    setTabOrder(m_cmdBrowse, m_optProcessor[0]);
    setTabOrder(m_optProcessor[0], m_optProcessor[1]);
    setTabOrder(m_optProcessor[1], m_cmdProgram);
    setTabOrder(m_cmdProgram, m_exitCommand);
}

QLabel *MainWindow::addLabel(QWidget *parent, const char *name, const QString &text, QRect geometry,
                             bool blue, bool bold)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setProperty(kWholeText, text);
    // File names and the scanner's answers end up here; none is markup.
    label->setTextFormat(Qt::PlainText);
    QFont font = m_font;
    font.setBold(bold);
    label->setFont(font);
    setTextColour(label, blue ? kCaptionBlue : palette().color(QPalette::WindowText));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

LampWidget *MainWindow::addLamp(QWidget *parent, const char *name, QRect geometry)
{
    auto *lamp = new LampWidget(parent);
    lamp->setObjectName(QString::fromLatin1(name));
    lamp->setGeometry(geometry.x(), geometry.y(), m_scale.x(300), m_scale.y(300));
    return lamp;
}

LampWidget *MainWindow::lampWidget(LampId id) const
{
    return m_lamps[lampIndex(id)];
}

QAction *MainWindow::portAction(int port) const
{
    const auto found = m_portActions.find(port);
    return found == m_portActions.end() ? nullptr : found->second;
}

void MainWindow::setLamp(LampId id, Lamp colour)
{
    // The working lamp beats with each block while a pass runs.
    if (id == LampId::Working)
        lampWidget(id)->setBlinking(!m_progress->isHidden());
    lampWidget(id)->setLamp(colour);
    emit lampSet(id, colour);
}

void MainWindow::setStatus(const QString &text)
{
    if (text == status())
        return;
    m_lblStatus->setProperty(kWholeText, text);
    // The window's width, less the status bar's margins: the label itself
    // is as wide as its last text until the bar lays it out again.
    m_lblStatus->resize(centralWidget()->width() - 2 * style()->pixelMetric(QStyle::PM_LayoutLeftMargin),
                        m_lblStatus->height());
    showElided(m_lblStatus, text);
    m_lblStatus->setAccessibleName(QStringLiteral("Status"));
    m_lblStatus->setAccessibleDescription(text);
    emit statusChanged(text);
    // Painted with the next pass of the event loop, which the line's waits never hold up.
}

QString MainWindow::status() const
{
    return m_lblStatus->property(kWholeText).toString();
}

Lamp MainWindow::lamp(LampId id) const
{
    return lampWidget(id)->lamp();
}

QMenu *MainWindow::menuOf(ControlId id) const
{
    switch (id) {
    case ControlId::FileMenu:
        return m_fileMenu;
    case ControlId::PortMenu:
        return m_portMenu;
    case ControlId::HelpMenu:
        return m_helpMenu;
    default:
        return nullptr;
    }
}

QWidget *MainWindow::widgetOf(ControlId id) const
{
    switch (id) {
    case ControlId::ProgramButton:
        return m_cmdProgram;
    case ControlId::ExitButton:
        return m_exitCommand;
    case ControlId::BrowseButton:
        return m_cmdBrowse;
    case ControlId::ProcessorMain:
        return m_optProcessor[0];
    case ControlId::ProcessorBarCode:
        return m_optProcessor[1];
    default:
        return nullptr;
    }
}

QLabel *MainWindow::labelOf(LabelId id) const
{
    switch (id) {
    case LabelId::ScanMod:
        return m_lblScanMod;
    case LabelId::Port:
        return m_lblPort;
    case LabelId::FirmFile:
        return m_lblFirmFile;
    }
    return nullptr;
}

void MainWindow::setControlEnabled(ControlId id, bool enabled)
{
    if (QMenu *menu = menuOf(id)) {
        menu->menuAction()->setEnabled(enabled);
        // F1 belongs to the Help menu: a locked menu takes its shortcut with it.
        if (menu == m_helpMenu) {
            for (QAction *entry : m_helpMenu->actions())
                entry->setEnabled(enabled);
            m_helpKey->setEnabled(enabled);
        }
        if (menu == m_fileMenu)
            syncFileExit();
        return;
    }
    widgetOf(id)->setEnabled(enabled);
    if (id == ControlId::ExitButton)
        syncFileExit();
    if (id == ControlId::ProgramButton) {
        // Once an update can start, Enter starts it.
        m_cmdProgram->setDefault(enabled);
        if (enabled && !m_locked)
            m_cmdProgram->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::syncFileExit()
{
    // File > Exit is the EXIT button by another way: off whenever either is.
    m_fileExit->setEnabled(m_fileMenu->menuAction()->isEnabled() && m_exitCommand->isEnabled());
    m_quitKey->setEnabled(!m_fileExit->isEnabled());
}

bool MainWindow::isControlEnabled(ControlId id) const
{
    if (QMenu *menu = menuOf(id))
        return menu->menuAction()->isEnabled();
    // Its own state: a lock of the whole window passes and leaves it as it was.
    return widgetOf(id)->isEnabledTo(centralWidget());
}

void MainWindow::setLocked(bool locked)
{
    m_locked = locked;
    // The children keep their own states, which come back with the unlock.
    menuBar()->setEnabled(!locked);
    centralWidget()->setEnabled(!locked);
    // PROGRAM enabled while the window was locked takes the focus now.
    if (!locked && m_cmdProgram->isEnabled())
        m_cmdProgram->setFocus(Qt::OtherFocusReason);
}

void MainWindow::setText(LabelId id, const QString &text)
{
    QLabel *label = labelOf(id);
    label->setProperty(kWholeText, text);
    showElided(label, text);
    if (id == LabelId::Port)
        showPortDevice();
}

void MainWindow::showPortDevice()
{
    bool isNumber = false;
    const int port = m_lblPort->text().toInt(&isNumber);
    const QString device = isNumber ? m_portDevices.value(port - 1) : QString();
    const int left = m_lblPort->x() + m_lblPort->fontMetrics().horizontalAdvance(m_lblPort->text()) +
                     m_lblPort->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const QRect whole = m_lblPort->geometry();
    m_lblPortDevice->setGeometry(left, whole.y(), whole.right() + 1 - left, whole.height());
    showElided(m_lblPortDevice, device.isEmpty() ? QString() : QStringLiteral("(%1)").arg(device));
}

QString MainWindow::text(LabelId id) const
{
    return labelOf(id)->property(kWholeText).toString();
}

void MainWindow::setPortMenuVisible(bool visible)
{
    m_portMenu->menuAction()->setVisible(visible);
}

bool MainWindow::isPortMenuVisible() const
{
    return m_portMenu->menuAction()->isVisible();
}

void MainWindow::setFileMenuVisible(bool visible)
{
    m_fileMenu->menuAction()->setVisible(visible);
}

bool MainWindow::isFileMenuVisible() const
{
    return m_fileMenu->menuAction()->isVisible();
}

void MainWindow::setPortTicked(int port)
{
    m_ticked = m_portActions.count(port) != 0 ? port : 0;
    for (const auto &[entry, action] : m_portActions)
        action->setChecked(entry == m_ticked);
}

int MainWindow::portTicked() const
{
    return m_ticked;
}

void MainWindow::setProcessorTicked(int index)
{
    for (int option = 0; option < 2; ++option) {
        QRadioButton *button = m_optProcessor[std::size_t(option)];
        // Both may be clear, which exclusive options never are by themselves.
        button->setAutoExclusive(false);
        button->setChecked(option == index);
        button->setAutoExclusive(true);
    }
}

int MainWindow::processorTicked() const
{
    for (int option = 0; option < 2; ++option)
        if (m_optProcessor[std::size_t(option)]->isChecked())
            return option;
    return -1;
}

void MainWindow::setUpdatingNoteVisible(bool visible)
{
    m_lblUpdating->setVisible(visible);
}

bool MainWindow::isUpdatingNoteVisible() const
{
    return !m_lblUpdating->isHidden();
}

void MainWindow::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

bool MainWindow::isBusy() const
{
    return m_busy;
}

void MainWindow::setProgress(int sent, int total)
{
    if (total <= 0) {
        m_progress->setVisible(false);
        m_progress->reset();
        lampWidget(LampId::Working)->setBlinking(false);
        return;
    }
    m_progress->setRange(0, total);
    m_progress->setValue(std::clamp(sent, 0, total));
    // A screen reader says the bar's value alone; the count of blocks is its description.
    m_progress->setAccessibleDescription(m_progress->text());
    m_progress->setVisible(true);
}

void MainWindow::setPortDevices(const QStringList &devices)
{
    m_portDevices = devices;
    showPortDevice();
    for (const auto &[port, action] : m_portActions)
        delete action;
    m_portActions.clear();
    int listed = 0;
    for (qsizetype i = 0; i < devices.size(); ++i) {
        if (devices[i].isEmpty())
            continue;
        const int port = int(i) + 1;
        QMenu *menu = listed < kPortEntries ? m_portMenu : m_morePorts;
        // Numbered down both menus, More going on from the eighth: &1 to &9,
        // then the number without an access key.
        const int place = ++listed;
        const QString name = portEntryName(port, devices[i]);
        auto *action = new QAction(place <= 9 ? QStringLiteral("&%1 %2").arg(place).arg(name)
                                              : QStringLiteral("%1 %2").arg(place).arg(name),
                                   menu);
        action->setObjectName(QStringLiteral("mnuCom%1").arg(port));
        action->setCheckable(true);
        action->setChecked(port == m_ticked);
        const QString tip = m_portAliases.value(devices[i], devices[i]);
        action->setStatusTip(tip);
        action->setToolTip(tip);
        connect(action, &QAction::triggered, this, [this, port] {
            // The tick follows the outcome of the handler, not the click.
            setPortTicked(m_ticked);
            emit portClicked(port);
        });
        if (menu == m_portMenu)
            m_portMenu->insertAction(m_morePorts->menuAction(), action);
        else
            m_morePorts->addAction(action);
        m_portActions[port] = action;
    }
    m_morePorts->menuAction()->setVisible(listed > kPortEntries);
}

void MainWindow::setForgetRecordVisible(bool visible)
{
    m_forgetRecord->setVisible(visible);
}

bool MainWindow::processorChosen() const
{
    return m_optProcessor[0]->isChecked() || m_optProcessor[1]->isChecked();
}

void MainWindow::centre()
{
    adjustSize();
    const QScreen *target = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!target)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_mayClose && !m_mayClose()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closing();
}

bool MainWindow::acceptsDrop(const QMimeData *data) const
{
    const QString file = draggedFile(data);
    return !m_locked && m_cmdBrowse->isEnabled() && !file.isEmpty() && !QFileInfo(file).isDir();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (acceptsDrop(event->mimeData()))
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    if (acceptsDrop(event->mimeData()))
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (!acceptsDrop(event->mimeData()))
        return;
    event->acceptProposedAction();
    emit fileDropped(draggedFile(event->mimeData()));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Key preview: the window hears every key before the control with the
    // focus. The filter sees an event once per widget it propagates through,
    // so it acts only at the first receiver, the focus widget or the window.
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return false;
    QWidget *first = QApplication::focusWidget();
    if (first ? widget != first : widget != this)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->isAutoRepeat())
        return false;
    if (m_locked) {
        m_pressedKeys.clear();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        if (!m_pressedKeys.contains(key->key()))
            m_pressedKeys.append(key->key());
        return false;
    }
    // A release whose press went to another window (the Enter that closed a
    // dialog) is no key stroke in this one.
    if (m_pressedKeys.removeAll(key->key()) > 0)
        emit keyReleased(key->key());
    return false;
}

} // namespace romwright
