#include "app/window/MainWindow.h"
#include "app/window/LampWidget.h"
#include "app/window/WaitStatus.h"
#include "app/window/WidgetDialogs.h"
#include "platform/FileSystem.h"
#include "platform/ManualClock.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;

class MainWindowTest : public testing::Test {
protected:
    MainWindow window;
};

// The colours are kept blue-green-red: red is the one a swap would show.
TEST_F(MainWindowTest, ARedLampPaintsRed)
{
    window.setLamp(LampId::Working, Lamp::Red);
    const QImage lamp = window.findChild<LampWidget *>("WorkingLite")->grab().toImage();
    EXPECT_EQ(lamp.pixel(lamp.width() / 2, lamp.height() / 2) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(MainWindowTest,
       PortsWithoutADeviceAreOffThePortShowsItsDeviceProgressCountsAndTheBusyCursorDoesNotStack)
{
    window.setText(LabelId::Port, QStringLiteral("1"));
    window.setPortDevices({"/dev/ttyUSB0", ""});
    auto *device = window.findChild<QLabel *>("lblPortDevice");
    EXPECT_EQ(device->text(), QStringLiteral("(/dev/ttyUSB0)"));
    for (const char *port : {"2", "None Selected"}) {
        window.setText(LabelId::Port, QString::fromLatin1(port));
        EXPECT_EQ(device->text(), QString()) << port;
    }
    EXPECT_TRUE(window.portAction(1)->isEnabled());
    EXPECT_FALSE(window.portAction(2)->isEnabled());

    window.setProgress(3, 945);
    EXPECT_EQ(window.findChild<QProgressBar *>("prgBlocks")->text(), QStringLiteral("3 of 945 blocks"));
    window.setProgress(0, 0);
    EXPECT_TRUE(window.findChild<QProgressBar *>("prgBlocks")->isHidden());
    window.setBusy(true);
    window.setBusy(true);
    window.setBusy(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Key releases reach the window once and only after their press; Enter
// clicks the focused button; Ctrl+Q is EXIT and off with it.
TEST_F(MainWindowTest, KeyReleasesFollowTheirPressEnterClicksAndCtrlQExits)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.findChild<QPushButton *>("cmdProgram")->setFocus();
    QList<int> released;
    QObject::connect(&window, &MainWindow::keyReleased, [&](int key) { released << key; });
    auto send = [](QEvent::Type type, int key, bool repeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    };
    send(QEvent::KeyRelease, Qt::Key_Return); // pressed in a dialog that has closed since
    send(QEvent::KeyPress, Qt::Key_V);
    send(QEvent::KeyRelease, Qt::Key_V, true);
    send(QEvent::KeyPress, Qt::Key_V, true);
    send(QEvent::KeyRelease, Qt::Key_V);
    EXPECT_EQ(released, (QList<int>{Qt::Key_V}));

    QStringList heard;
    QObject::connect(&window, &MainWindow::programClicked, [&] { heard << "program"; });
    QObject::connect(&window, &MainWindow::exitClicked, [&] { heard << "exit"; });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    window.setControlEnabled(ControlId::ExitButton, false);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    window.setControlEnabled(ControlId::ExitButton, true);
    window.setControlEnabled(ControlId::FileMenu, false);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(heard, (QStringList{"program", "exit"}));
}

// The status line counts whole seconds on the clock's tick, starts again at
// each new wait and goes blank at the end.
TEST(WaitStatus, CountsSecondsOfEachWait)
{
    ManualClock clock;
    QStringList shown;
    WaitStatus status(clock, [&shown](const QString &text) { shown << text; });
    status.begin(QStringLiteral("Searching"));
    clock.advance(std::chrono::milliseconds(2500));
    status.begin(QStringLiteral("Waiting"));
    clock.advance(std::chrono::milliseconds(1000));
    status.end();
    clock.advance(std::chrono::milliseconds(3000));
    EXPECT_EQ(shown,
              (QStringList{"Searching", "Searching 1 s", "Searching 2 s", "Waiting", "Waiting 1 s", ""}));
}

// A file name is shown as written, never read as markup; bytes that are not
// UTF-8 show as U+FFFD.
TEST_F(MainWindowTest, FileLabelShowsHostileNamesAsPlainText)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"bad%1 %2,x.s19", QStringLiteral("bad%1 %2,x.s19")},
        {"<h1>OK<!--.s19", QStringLiteral("<h1>OK<!--.s19")},
        {"caf\xe9.s19", QStringLiteral("caf\uFFFD.s19")},
    };
    auto *label = window.findChild<QLabel *>("lblFirmFile");
    for (const auto &[name, shown] : cases) {
        window.setText(LabelId::FirmFile, displayFileName(decodeFileName(name)));
        EXPECT_EQ(label->text(), shown);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

// What a box shows (title, icon or prompt and default) and what it answers;
// a box without a title carries the program's name.
// Once the program is ending no box opens: one would wait for an answer forever.
TEST(WidgetDialogs, NoBoxOpensOnceTheProgramIsEnding)
{
    WidgetDialogs dialogs;
    dialogs.silence();
    dialogs.message({}, {}, MessageIcon::None);
    EXPECT_FALSE(dialogs.question({}, {}, MessageIcon::Question, DefaultAnswer::Yes));
    EXPECT_EQ(dialogs.inputBox("Letter?", {}, "Q"), QString());
    EXPECT_EQ(dialogs.chooseScanner(), std::nullopt);
}

// Each filter shows its patterns; Qt's own dialog matches them case-blind,
// the system's dialog (Windows) by its own rules.
TEST(WidgetDialogs, OpenDialogShowsThePatternsAndListsFirmwareWhateverTheCaseOfItsName)
{
    const QString filter =
        QStringLiteral("Halvern Firmware Files|H*.S19|All files (*)|*|Loaders|*.sss;*.S19");
    EXPECT_EQ(openDialogFilters(filter, true),
              (QStringList{"Halvern Firmware Files (H*.S19)", "All files (*)", "Loaders (*.sss *.S19)"}));
    EXPECT_EQ(openDialogFilters(filter, false),
              (QStringList{"Halvern Firmware Files (H*.S19) ([Hh]*.[Ss]19)", "All files (*) (*)",
                           "Loaders (*.sss *.S19) (*.[Ss][Ss][Ss] *.[Ss]19)"}));
    QTemporaryDir dir;
    auto dialog = WidgetDialogs::makeOpenDialog(nullptr, QStringLiteral("Open"), filter, dir.path());
    auto *shown = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->currentText(), QStringLiteral("Halvern Firmware Files (H*.S19)"));
    EXPECT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
}
