#include "app/gui/LampWidget.h"
#include "app/gui/MainWindow.h"
#include "app/gui/WidgetDialogs.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace romwright;

namespace {

// Runs the event loop until done() holds or the bound runs out.
bool waitUntil(const std::function<bool()> &done, int boundMs = 3000)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    poll.start(10);
    if (!done())
        loop.exec();
    return done();
}

// Answers the next modal dialog with action(dialog) as soon as it shows.
void whenModal(std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start(10);
}

const QColor kBlue(0, 0, 0xC0);

struct Place {
    const char *name;
    const char *container;
    int left, top, width, height;
    const char *caption; // nullptr: not a text control
    bool blue;
    bool bold;
};

} // namespace

class MainWindowTest : public testing::Test {
protected:
    template <typename T> T *child(const char *name) const
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }
    QRect twips(int l, int t, int w, int h) const { return window.scale().rect(l, t, w, h); }

    MainWindow window;
};

TEST_F(MainWindowTest, FrameCaptionAndClientArea)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Halvern - Wexmoor - Jorlith Romwright"));
    const QWidget *client = window.centralWidget();
    ASSERT_NE(client, nullptr);
    window.adjustSize();
    EXPECT_EQ(client->size(), QSize(window.scale().x(7740), window.scale().y(5925)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "not resizable";
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(MainWindowTest, EveryControlInItsContainerAtItsPlace)
{
    const Place places[] = {
        {"Frame2", "client", 120, 120, 7335, 30, nullptr, false, false},
        {"Frame1", "client", 120, 240, 7335, 2055, "Settings", true, true},
        {"lblScanner", "Frame1", 300, 420, 1600, 275, "Scanner Model:", true, false},
        {"lblScanMod", "Frame1", 2000, 420, 5000, 275, "", false, false},
        {"lblCom", "Frame1", 300, 775, 1600, 275, "Comm Port:", true, false},
        {"lblPort", "Frame1", 2000, 775, 5000, 275, "None Selected", false, false},
        {"lblFile", "Frame1", 300, 1150, 1600, 275, "Firmware File:", true, false},
        {"lblFirmFile", "Frame1", 2000, 1150, 4300, 275, "None", false, false},
        {"cmdBrowse", "Frame1", 6600, 1100, 500, 375, "....", false, false},
        {"Label5", "Frame1", 300, 1525, 2200, 275, "Wexmoor Processor:", true, false},
        {"optProcessor0", "Frame1", 2520, 1500, 900, 360, "Main", false, false},
        {"optProcessor1", "Frame1", 3500, 1500, 1695, 360, "BarCode", false, false},
        {"fraUpdating", "client", 120, 2500, 4095, 3120, "Updating", true, true},
        {"ComStatusLite", "fraUpdating", 240, 480, 300, 300, nullptr, false, false},
        {"FileOkLite", "fraUpdating", 240, 885, 300, 300, nullptr, false, false},
        {"CommunicationLite", "fraUpdating", 240, 1275, 300, 300, nullptr, false, false},
        {"FlashEraseLite", "fraUpdating", 240, 1680, 300, 300, nullptr, false, false},
        {"WorkingLite", "fraUpdating", 240, 2085, 300, 300, nullptr, false, false},
        {"ProgramLite", "fraUpdating", 240, 2475, 300, 300, nullptr, false, false},
        {"lblUpdating", "fraUpdating", 1900, 2040, 2100, 375, "Please be patient. This may take several minutes.", false, false},
        {"Frame3", "client", 4440, 2500, 3000, 3120, "", false, false},
        {"cmdProgram", "Frame3", 600, 600, 1800, 600, "PROGRAM", false, false},
        {"ExitCommand", "Frame3", 600, 1800, 1800, 600, "EXIT", false, false},
    };
    for (const Place &p : places) {
        SCOPED_TRACE(p.name);
        const QWidget *widget = child<QWidget>(p.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(p.container));
        if (QByteArray(p.name) == "lblUpdating") {
            // Grows downwards to hold its text in a wider font than the original's.
            EXPECT_EQ(widget->geometry().topLeft(), twips(p.left, p.top, p.width, p.height).topLeft());
            EXPECT_EQ(widget->width(), twips(p.left, p.top, p.width, p.height).width());
            EXPECT_GE(widget->height(), widget->heightForWidth(widget->width()));
        } else
            EXPECT_EQ(widget->geometry(), twips(p.left, p.top, p.width, p.height));
        if (!p.caption)
            continue;
        QString caption;
        if (auto *label = qobject_cast<const QLabel *>(widget))
            caption = label->text();
        else if (auto *button = qobject_cast<const QAbstractButton *>(widget))
            caption = button->text();
        else if (auto *box = qobject_cast<const QGroupBox *>(widget))
            caption = box->title();
        EXPECT_EQ(caption, QLatin1String(p.caption));
        EXPECT_EQ(widget->palette().color(QPalette::WindowText) == kBlue, p.blue);
        EXPECT_EQ(widget->font().bold(), p.bold);
    }
}

TEST_F(MainWindowTest, LampLabelsAreBoldBlueAndStartAtTheirPlace)
{
    const struct {
        const char *name;
        const char *caption;
        int top;
    } labels[] = {{"Label2", "Port", 510},  {"Label1", "File", 900},
                  {"Label3", "Communication", 1305}, {"Label6", "Flash erase complete", 1710},
                  {"Label7", "Updating", 2100}, {"Label4", "Program", 2505}};
    for (const auto &l : labels) {
        SCOPED_TRACE(l.name);
        const QLabel *label = child<QLabel>(l.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QLatin1String(l.caption));
        EXPECT_EQ(label->pos(), twips(795, l.top, 10, 10).topLeft());
        EXPECT_TRUE(label->font().bold());
        EXPECT_EQ(label->palette().color(QPalette::WindowText), kBlue);
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    }
}

TEST_F(MainWindowTest, DesignState)
{
    EXPECT_TRUE(child<QLabel>("lblUpdating")->isHidden());
    EXPECT_TRUE(child<QProgressBar>("prgBlocks")->isHidden());
    EXPECT_TRUE(window.isEnabled(ControlId::ProgramButton));
    EXPECT_TRUE(window.isEnabled(ControlId::ExitButton));
    EXPECT_FALSE(window.isEnabled(ControlId::ProcessorMain));
    EXPECT_FALSE(window.isEnabled(ControlId::ProcessorBarCode));
    EXPECT_FALSE(window.processorChosen());
    EXPECT_EQ(window.portTicked(), 0);
    EXPECT_TRUE(window.isPortMenuVisible());
    EXPECT_TRUE(window.isFileMenuVisible());
    for (LampId id : {LampId::ComStatus, LampId::FileOk, LampId::Communication, LampId::FlashErase,
                      LampId::Working, LampId::Program, LampId::RamLoader})
        EXPECT_EQ(window.lamp(id), Lamp::Grey);
    EXPECT_NEAR(child<QLabel>("lblUpdating")->font().pointSizeF(), 8.25, 0.01);
    EXPECT_NEAR(child<QLabel>("lblPort")->font().pointSizeF(), 9.75, 0.01);
}

TEST_F(MainWindowTest, RamLoaderLampLiesOutsideTheClientArea)
{
    const QWidget *lamp = child<QWidget>("RamLoaderLite");
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->parentWidget(), window.centralWidget());
    EXPECT_FALSE(window.centralWidget()->rect().intersects(lamp->geometry()));
}

TEST_F(MainWindowTest, LampsPaintTheirColours)
{
    const struct {
        Lamp lamp;
        QRgb rgb;
    } colours[] = {{Lamp::Grey, 0x808080}, {Lamp::Green, 0x00FF00}, {Lamp::Red, 0xFF0000}};
    auto *lamp = child<LampWidget>("WorkingLite");
    for (const auto &c : colours) {
        window.setLamp(LampId::Working, c.lamp);
        const QImage picture = lamp->grab().toImage();
        EXPECT_EQ(picture.pixel(picture.width() / 2, picture.height() / 2) & 0xFFFFFF, c.rgb);
    }
}

TEST_F(MainWindowTest, MenusWithTheirKeysTicksAndF1)
{
    QStringList titles;
    for (QAction *action : window.menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{"&Port", "&File", "&Help"}));
    for (int port = 1; port <= 8; ++port)
        EXPECT_EQ(window.portAction(port)->text(), QStringLiteral("&COM%1").arg(port));
    EXPECT_EQ(child<QAction>("mnuFileOpen")->text(), QStringLiteral("&Open..."));
    EXPECT_EQ(child<QAction>("mnuHelpViewHelp")->text(), QStringLiteral("&View Help File"));
    EXPECT_EQ(child<QAction>("mnuHelpViewHelp")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(child<QAction>("mnuAbout")->text(), QStringLiteral("About"));

    window.setPortTicked(2);
    window.setPortTicked(4);
    for (int port = 1; port <= 8; ++port)
        EXPECT_EQ(window.portAction(port)->isChecked(), port == 4) << port;
}

TEST_F(MainWindowTest, PortClickLeavesTheTickToTheHandler)
{
    QList<int> clicked;
    QObject::connect(&window, &MainWindow::portClicked, [&](int port) { clicked << port; });
    window.setPortTicked(2);
    window.portAction(5)->trigger();
    EXPECT_EQ(clicked, QList<int>{5});
    EXPECT_EQ(window.portTicked(), 2);
    EXPECT_FALSE(window.portAction(5)->isChecked());
    EXPECT_TRUE(window.portAction(2)->isChecked());
}

TEST_F(MainWindowTest, PortEntriesNameTheirDevices)
{
    window.setPortDevices({"/dev/ttyUSB0", "", "/dev/ttyS0"});
    EXPECT_EQ(window.portAction(1)->statusTip(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(window.portAction(1)->toolTip(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_TRUE(window.portAction(1)->isEnabled());
    EXPECT_FALSE(window.portAction(2)->isEnabled());
    EXPECT_TRUE(window.portAction(3)->isEnabled());
    EXPECT_FALSE(window.portAction(8)->isEnabled());
}

TEST_F(MainWindowTest, ViewStateRoundTrips)
{
    window.setText(LabelId::ScanMod, QStringLiteral("Halvern 1450"));
    window.setText(LabelId::Port, QStringLiteral("3"));
    EXPECT_EQ(child<QLabel>("lblScanMod")->text(), QStringLiteral("Halvern 1450"));
    EXPECT_EQ(window.text(LabelId::Port), QStringLiteral("3"));
    for (ControlId id : {ControlId::ProgramButton, ControlId::ExitButton, ControlId::BrowseButton,
                         ControlId::FileMenu, ControlId::PortMenu, ControlId::HelpMenu, ControlId::ProcessorMain,
                         ControlId::ProcessorBarCode}) {
        window.setEnabled(id, false);
        EXPECT_FALSE(window.isEnabled(id));
        window.setEnabled(id, true);
        EXPECT_TRUE(window.isEnabled(id));
    }
    window.setEnabled(ControlId::HelpMenu, false);
    EXPECT_FALSE(child<QAction>("mnuHelpViewHelp")->isEnabled()) << "F1 would still open help";
    window.setEnabled(ControlId::HelpMenu, true);
    EXPECT_TRUE(child<QAction>("mnuHelpViewHelp")->isEnabled());
    window.setPortMenuVisible(false);
    EXPECT_FALSE(window.isPortMenuVisible());
    window.setUpdatingNoteVisible(true);
    EXPECT_TRUE(window.isUpdatingNoteVisible());

    window.setProgress(3, 945);
    EXPECT_FALSE(child<QProgressBar>("prgBlocks")->isHidden());
    EXPECT_EQ(child<QProgressBar>("prgBlocks")->text(), QStringLiteral("3 of 945 blocks"));
    window.setProgress(0, 0);
    EXPECT_TRUE(child<QProgressBar>("prgBlocks")->isHidden());

    window.setBusy(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    window.setBusy(true);
    window.setBusy(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, KeyReleasesReachTheWindowOnceAndOnlyAfterTheirPress)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &window; }));
    child<QPushButton>("cmdProgram")->setFocus();
    QList<int> released;
    QObject::connect(&window, &MainWindow::keyReleased, [&](int key) { released << key; });

    auto send = [](QEvent::Type type, int key, bool repeat = false) {
        QWidget *target = QApplication::focusWidget();
        QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(target, &event);
    };
    send(QEvent::KeyRelease, Qt::Key_Return); // pressed in a dialog that has closed since
    send(QEvent::KeyPress, Qt::Key_V);
    send(QEvent::KeyRelease, Qt::Key_V, true);
    send(QEvent::KeyPress, Qt::Key_V, true);
    send(QEvent::KeyRelease, Qt::Key_V);
    send(QEvent::KeyPress, Qt::Key_E);
    send(QEvent::KeyRelease, Qt::Key_E);
    EXPECT_EQ(released, (QList<int>{Qt::Key_V, Qt::Key_E}));
}

TEST(WidgetDialogs, MessageTitlesAndIcons)
{
    const struct {
        const char *title;
        MessageIcon icon;
        const char *shownTitle;
        QMessageBox::Icon shownIcon;
    } cases[] = {
        {"", MessageIcon::None, "Romwright", QMessageBox::NoIcon},
        {"File Type Required", MessageIcon::Exclamation, "File Type Required", QMessageBox::Warning},
        {"Timeout Failure", MessageIcon::Information, "Timeout Failure", QMessageBox::Information},
        {"Oops", MessageIcon::Critical, "Oops", QMessageBox::Critical},
    };
    WidgetDialogs dialogs;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shownTitle);
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        whenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            box->accept();
        });
        dialogs.message(QStringLiteral("The Romwright timed out."), QString::fromLatin1(c.title), c.icon);
        EXPECT_EQ(title, QLatin1String(c.shownTitle));
        EXPECT_EQ(text, QStringLiteral("The Romwright timed out."));
        EXPECT_EQ(icon, c.shownIcon);
        EXPECT_EQ(buttons, QMessageBox::Ok);
    }
}

TEST(WidgetDialogs, InputBoxAnswersTextOrEmptyOnCancel)
{
    WidgetDialogs dialogs;
    QString label;
    whenModal([&](QWidget *modal) {
        auto *box = qobject_cast<QInputDialog *>(modal);
        ASSERT_NE(box, nullptr);
        label = box->windowTitle() + QLatin1Char('|') + box->labelText() + QLatin1Char('|') + box->textValue();
        box->setTextValue(QStringLiteral("A"));
        box->accept();
    });
    EXPECT_EQ(dialogs.inputBox(QStringLiteral("Enter the letter to wait for."), QStringLiteral("Q or A?"),
                               QStringLiteral("Q")),
              QStringLiteral("A"));
    EXPECT_EQ(label, QStringLiteral("Q or A?|Enter the letter to wait for.|Q"));

    whenModal([](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
    EXPECT_EQ(dialogs.inputBox(QStringLiteral("p"), QStringLiteral("t"), QStringLiteral("Q")), QString());
}

TEST(WidgetDialogs, CaseBlindPattern)
{
    EXPECT_EQ(caseBlindPattern(QStringLiteral("H*.S19")), QStringLiteral("[Hh]*.[Ss]19"));
    EXPECT_EQ(caseBlindPattern(QStringLiteral("W*.S20")), QStringLiteral("[Ww]*.[Ss]20"));
    EXPECT_EQ(caseBlindPattern(QStringLiteral("*")), QStringLiteral("*"));
}

TEST(WidgetDialogs, OpenDialogListsFirmwareWhateverTheCaseOfItsName)
{
    QTemporaryDir dir;
    for (const char *name : {"Hlv1450ver5_9.s19", "HLV1450VER6_0.S19", "hlv1450ver5_8.s19", "JL750Ver5_0.s19",
                             "Hlv1450ver5_9.s20"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    auto dialog = WidgetDialogs::makeOpenDialog(nullptr, QStringLiteral("Open"),
                                                QStringLiteral("Halvern Firmware Files|H*.S19"), dir.path());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Open"));
    EXPECT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
    auto *model = dialog->findChild<QFileSystemModel *>();
    ASSERT_NE(model, nullptr);
    const QModelIndex root = model->index(dir.path());
    QStringList listed;
    auto collect = [&] {
        listed.clear();
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex index = model->index(row, 0, root);
            if (!model->isDir(index))
                listed << index.data().toString();
        }
        listed.sort();
        return listed.size() >= 3;
    };
    waitUntil(collect);
    EXPECT_EQ(listed, (QStringList{"HLV1450VER6_0.S19", "Hlv1450ver5_9.s19", "hlv1450ver5_8.s19"}));
}

// Pictures of the window in its three states, for a person to look at:
// ROMWRIGHT_PICTURES=DIR writes start.png, updating.png and finished.png.
TEST_F(MainWindowTest, Pictures)
{
    const QString folder = qEnvironmentVariable("ROMWRIGHT_PICTURES");
    auto save = [&](const char *name) {
        const QImage picture = window.grab().toImage();
        EXPECT_EQ(picture.size(), window.size());
        if (!folder.isEmpty()) {
            EXPECT_TRUE(picture.save(QDir(folder).filePath(QLatin1String(name))));
        }
    };
    window.adjustSize();
    window.setPortMenuVisible(false);
    window.setText(LabelId::ScanMod, QStringLiteral("Halvern 1450"));
    window.setText(LabelId::Port, QStringLiteral("1"));
    window.setText(LabelId::FirmFile, QStringLiteral("Hlv1450ver5_9.s19"));
    window.setLamp(LampId::ComStatus, Lamp::Green);
    window.setLamp(LampId::FileOk, Lamp::Green);
    save("start.png");

    for (ControlId id : {ControlId::FileMenu, ControlId::PortMenu, ControlId::HelpMenu, ControlId::ExitButton,
                         ControlId::ProgramButton})
        window.setEnabled(id, false);
    window.setLamp(LampId::Communication, Lamp::Green);
    window.setLamp(LampId::FlashErase, Lamp::Green);
    window.setLamp(LampId::Working, Lamp::Red);
    window.setUpdatingNoteVisible(true);
    window.setProgress(312, 945);
    save("updating.png");

    window.setLamp(LampId::Working, Lamp::Green);
    window.setLamp(LampId::Program, Lamp::Green);
    window.setUpdatingNoteVisible(false);
    window.setProgress(0, 0);
    save("finished.png");
}
