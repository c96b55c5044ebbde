#include "app/window/MainWindow.h"
#include "app/common/UpdateMessages.h"
#include "app/window/LampWidget.h"
#include "app/window/WidgetDialogs.h"
#include "platform/FileSystem.h"
#include "platform/ManualClock.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace romwright;

class MainWindowTest : public testing::Test {
protected:
    MainWindow window;
};

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
    EXPECT_NE(window.portAction(1), nullptr);
    EXPECT_EQ(window.portAction(2), nullptr);

    window.setProgress(3, 945);
    EXPECT_EQ(window.findChild<QProgressBar *>("prgBlocks")->text(), QStringLiteral("3 of 945 blocks"));
    window.setProgress(0, 0);
    EXPECT_TRUE(window.findChild<QProgressBar *>("prgBlocks")->isHidden());
    window.setBusy(true);
    window.setBusy(true);
    window.setBusy(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Enter clicks PROGRAM once it can start; Ctrl+Q is EXIT and off with it.
TEST_F(MainWindowTest, EnterClicksProgramOnceItCanStartAndCtrlQExits)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // PROGRAM takes Enter without a click first, also when it was enabled
    // while the search kept the window locked.
    window.setLocked(true);
    window.setControlEnabled(ControlId::ProgramButton, true);
    window.setLocked(false);
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

// Twelve ports with a gap: the first eight at the top, the rest under More;
// no menu has an access key twice, and a port under More takes the tick.
TEST_F(MainWindowTest, PortMenuListsThePresentPortsBeyondEightUnderMore)
{
    QStringList devices;
    for (int n = 1; n <= 20; ++n)
        devices << (n == 2 || n > 13 ? QString() : QStringLiteral("COM%1").arg(n));
    devices << QStringLiteral("COM21");
    window.setPortDevices(devices);
    auto *menu = window.findChild<QMenu *>("mnuComPort");
    auto *more = window.findChild<QMenu *>("mnuMorePorts");
    auto entries = [](QMenu *m) {
        QStringList texts;
        for (QAction *a : m->actions())
            if (!a->isSeparator() && a->isVisible())
                texts << a->text();
        return texts;
    };
    EXPECT_EQ(entries(menu), (QStringList{"&1 COM1", "&2 COM3", "&3 COM4", "&4 COM5", "&5 COM6", "&6 COM7",
                                          "&7 COM8", "&8 COM9", "&More", "&Search Again"}));
    EXPECT_EQ(entries(more), (QStringList{"&1 COM10", "&2 COM11", "&3 COM12", "&4 COM13", "&5 COM21"}));
    window.setPortTicked(21);
    EXPECT_TRUE(window.portAction(21)->isChecked());
    EXPECT_EQ(window.portTicked(), 21);
    // Fewer ports again: no More, the tick kept on a port still there.
    window.setPortDevices(
        {"COM1", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "COM21"});
    EXPECT_EQ(entries(menu), (QStringList{"&1 COM1", "&2 COM21", "&Search Again"}));
    EXPECT_TRUE(window.portAction(21)->isChecked());
}

// Each lamp says its state in words and draws it as a mark: a dot for not
// yet, a tick for done, a cross for failed, three dots while the working lamp
// beats with the blocks. Sampled at the centre, on the cross's top left arm
// and at the tick's foot: D dark, F the fill, - either.
TEST_F(MainWindowTest, EachLampSaysAndMarksItsStateAndTheControlsHaveNames)
{
    const std::tuple<Lamp, bool, const char *, const char *> cases[] = {
        {Lamp::Grey, false, "Updating: not yet done", "DFF"},
        {Lamp::Green, false, "Updating: done", "-FD"},
        {Lamp::Red, false, "Updating: failed", "DD-"},
        {Lamp::Red, true, "Updating: in progress", "DFF"},
        {Lamp::Green, true, "Updating: in progress", "DFF"},
    };
    auto *widget = window.findChild<LampWidget *>("WorkingLite");
    const std::array<QPointF, 3> at{QPointF(0.5, 0.5), QPointF(0.25, 0.25), QPointF(0.42, 0.73)};
    for (const auto &[lamp, pass, description, marks] : cases) {
        SCOPED_TRACE(description);
        window.setProgress(pass ? 1 : 0, pass ? 10 : 0);
        window.setLamp(LampId::Working, lamp);
        QAccessibleInterface *read = QAccessible::queryAccessibleInterface(widget);
        EXPECT_EQ(read->text(QAccessible::Name), QStringLiteral("Updating"));
        EXPECT_EQ(read->text(QAccessible::Description), QLatin1String(description));
        const QImage image = widget->grab().toImage();
        for (std::size_t i = 0; i < at.size(); ++i) {
            const QRgb pixel = image.pixel(int(at[i].x() * image.width()), int(at[i].y() * image.height()));
            const bool dark = qGray(pixel) < 64;
            const bool fill = (pixel & 0xFFFFFF) == (LampWidget::colour(lamp).rgb() & 0xFFFFFF);
            EXPECT_TRUE(marks[i] == '-' || (marks[i] == 'D' ? dark : fill)) << i;
        }
        // The colours are kept blue-green-red: red is the one a swap would show.
        if (lamp == Lamp::Red && !pass) {
            EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 5) & 0xFFFFFF, 0xFF0000u);
        }
    }
    window.setLamp(LampId::FlashErase, Lamp::Green);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window.findChild<QWidget *>("FlashEraseLite"))
                  ->text(QAccessible::Description),
              QStringLiteral("Flash erase complete: done"));
    for (const char *name : {"cmdBrowse", "cmdProgram", "ExitCommand", "prgBlocks", "lblStatus"})
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(window.findChild<QWidget *>(QLatin1String(name)))
                         ->text(QAccessible::Name)
                         .isEmpty())
            << name;
}

// The power-cycle prompt keeps its words and adds the cable's; OK counts the
// scanner's 5 s off and takes neither Enter, Escape nor the close box before.
TEST(WidgetDialogs, ThePowerCyclePromptCountsDownBeforeOkTakesEnter)
{
    ManualClock clock;
    PowerCycleBox box(nullptr, QString::fromLatin1(messages::kPowerCycle), QStringLiteral("Power Cycle"),
                      clock);
    EXPECT_EQ(box.text(),
              QString::fromLatin1(messages::kPowerCycle) + "\n\nLeave the serial cable connected.");
    box.show();
    auto *ok = box.findChild<QPushButton *>();
    const std::tuple<int, const char *, const char *> steps[] = {
        {0, "OK (5 s)", "Keep the power unplugged: 5 s left."},
        {3999, "OK (2 s)", "Keep the power unplugged: 2 s left."},
        {1000, "OK (1 s)", "Keep the power unplugged: 1 s left."},
        {1, "OK", "Now plug the power in again and click OK."},
    };
    for (const auto &[ms, caption, line] : steps) {
        clock.advance(std::chrono::milliseconds(ms));
        const bool ready = ok->text() == QLatin1String("OK");
        EXPECT_EQ(ok->text() + box.informativeText(), QLatin1String(caption) + QLatin1String(line));
        EXPECT_EQ(ok->isEnabled() && ok->isDefault(), ready) << caption;
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape})
            if (!ready)
                QTest::keyClick(&box, key);
        box.close();
        EXPECT_EQ(box.isVisible(), !ready) << caption;
    }
    EXPECT_EQ(box.clickedButton(), ok);
}
