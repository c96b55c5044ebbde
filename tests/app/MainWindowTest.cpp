#include "app/window/MainWindow.h"
#include "app/update/UpdateMessages.h"
#include "app/window/LampWidget.h"
#include "app/window/WidgetDialogs.h"
#include "platform/FileSystem.h"
#include "platform/ManualClock.h"

#include <QAbstractButton>
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

#include <functional>

using namespace romwright;

class MainWindowTest : public testing::Test {
protected:
    MainWindow window;
};

// The first node of the window's accessibility tree (node and below) with
// this name that also passes the check, as a screen reader finds it.
QAccessibleInterface *findAccessible(QWidget &window, const QString &name,
                                     const std::function<bool(QAccessibleInterface *)> &check = {},
                                     QAccessibleInterface *node = nullptr)
{
    node = node ? node : QAccessible::queryAccessibleInterface(&window);
    if (node->text(QAccessible::Name) == name && (!check || check(node)))
        return node;
    QAccessibleInterface *found = nullptr;
    for (int i = 0; i < node->childCount() && !found; ++i)
        found = node->child(i) ? findAccessible(window, name, check, node->child(i)) : nullptr;
    return found;
}

// The port's device and the blocks sent, as the accessibility tree says them;
// a port without a device says none, and the bar is gone between updates.
TEST_F(MainWindowTest, ThePortsDeviceAndTheBlocksSentAreSaid)
{
    window.setText(LabelId::Port, QStringLiteral("1"));
    window.setPortDevices({"/dev/ttyUSB0", ""});
    EXPECT_NE(findAccessible(window, QStringLiteral("(/dev/ttyUSB0)")), nullptr);
    window.setText(LabelId::Port, QStringLiteral("2"));
    EXPECT_EQ(findAccessible(window, QStringLiteral("(/dev/ttyUSB0)")), nullptr);

    window.show();
    window.setProgress(3, 945);
    QAccessibleInterface *blocks = findAccessible(window, QStringLiteral("Blocks sent"), [](auto *node) {
        return node->role() == QAccessible::ProgressBar;
    });
    ASSERT_NE(blocks, nullptr);
    EXPECT_EQ(blocks->text(QAccessible::Description), QStringLiteral("3 of 945 blocks"));
    EXPECT_FALSE(blocks->state().invisible);
    window.setProgress(0, 0);
    EXPECT_TRUE(blocks->state().invisible);
}

TEST_F(MainWindowTest, TheBusyCursorDoesNotStack)
{
    window.setBusy(true);
    window.setBusy(true);
    window.setBusy(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The keyboard: Enter clicks PROGRAM once it can start; Ctrl+Q is EXIT,
// and while EXIT is off (an update runs) it asks as the close box does; F1
// is this window's own help; Tab goes as the screen reads; every button and
// menu entry has an access key.
TEST_F(MainWindowTest, TheKeyboardReachesEverythingAsTheScreenReads)
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
    QObject::connect(&window, &MainWindow::windowHelpClicked, [&] { heard << "help"; });
    window.setCloseCheck([&] {
        heard << "close?";
        return false;
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    window.setControlEnabled(ControlId::ExitButton, false);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    window.setControlEnabled(ControlId::ExitButton, true);
    window.setControlEnabled(ControlId::FileMenu, false);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(heard, (QStringList{"program", "exit", "close?", "close?", "help"}));

    window.setControlEnabled(ControlId::ProcessorMain, true);
    window.setControlEnabled(ControlId::ProcessorBarCode, true);
    QStringList order;
    for (QWidget *w = window.findChild<QWidget *>("cmdBrowse"); order.size() < 5; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled())
            order << w->objectName();
    EXPECT_EQ(order,
              (QStringList{"cmdBrowse", "optProcessor0", "optProcessor1", "cmdProgram", "ExitCommand"}));
    for (const auto *button : window.centralWidget()->findChildren<QAbstractButton *>())
        EXPECT_TRUE(button->text().contains(QLatin1Char('&'))) << qPrintable(button->objectName());
    for (const auto *menu : window.findChildren<QMenu *>())
        for (const QAction *entry : menu->actions())
            EXPECT_TRUE(entry->isSeparator() || entry->text().contains(QLatin1Char('&')))
                << qPrintable(entry->text());
}

// The status line never cuts a text at the window's edge: too long, it is
// elided in the middle and says the whole to the tip and a screen reader.
TEST_F(MainWindowTest, TheStatusLineShowsALongTextWhole)
{
    window.show();
    const QString text = QStringLiteral("Sending the firmware… ") + QString(300, QLatin1Char('x'));
    window.setStatus(text);
    auto *line = window.findChild<QLabel *>("lblStatus");
    EXPECT_EQ(window.status(), text);
    EXPECT_TRUE(line->text().contains(QChar(0x2026)) && line->text().size() < text.size());
    EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), window.width());
    EXPECT_EQ(line->toolTip(), text);
    EXPECT_EQ(findAccessible(window, QStringLiteral("Status"))->text(QAccessible::Description), text);
}

// A path in a box wraps at its separators, every character kept.
TEST(WidgetDialogs, LongPathsAndDeviceNamesWrapWhole)
{
    const QString path = QStringLiteral("/home/technician/Firmware/Halvern_1450_release/Hlv1450ver5_9.s19");
    const QString device = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    const QString text = QStringLiteral("The file %1 on %2 is short.").arg(path, device);
    const QString shown = wrappableNames(text);
    EXPECT_EQ(QString(shown).remove(QChar(0x200B)), text);
    const auto separators = [](const QString &name) {
        return std::count_if(name.begin(), name.end(),
                             [](QChar c) { return QStringLiteral("/_-.").contains(c); });
    };
    EXPECT_EQ(shown.count(QChar(0x200B)), separators(path) + separators(device));
    EXPECT_EQ(wrappableNames(QStringLiteral("A short/name.")), QStringLiteral("A short/name."));
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

// Twelve ports with a gap: the first eight at the top, the rest under More
// numbered on; no access key twice, and a port under More takes the tick.
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
    EXPECT_EQ(entries(more), (QStringList{"&9 COM10", "10 COM11", "11 COM12", "12 COM13", "13 COM21"}));
    window.setPortTicked(21);
    EXPECT_TRUE(window.portAction(21)->isChecked());
    EXPECT_EQ(window.portTicked(), 21);
    // Fewer ports again: no More, the tick kept on a port still there.
    window.setPortDevices(
        {"COM1", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "COM21"});
    EXPECT_EQ(entries(menu), (QStringList{"&1 COM1", "&2 COM21", "&Search Again"}));
    EXPECT_TRUE(window.portAction(21)->isChecked());
}

// Each lamp says its caption and its state, as the accessibility tree reads
// it: not yet done, done, failed, and in progress while the working lamp beats
// with the blocks; the controls have names and roles.
TEST_F(MainWindowTest, EachLampSaysItsStateAndTheControlsHaveNames)
{
    // clang-format off
    const std::pair<LampId, const char *> lamps[] = {{LampId::ComStatus, "Port"}, {LampId::FileOk, "File"},
        {LampId::Communication, "Communication"}, {LampId::FlashErase, "Flash erase complete"},
        {LampId::Working, "Updating"}, {LampId::Program, "Program"}, {LampId::RamLoader, "RAM loader"}};
    const std::tuple<Lamp, bool, const char *> states[] = {{Lamp::Green, false, "done"}, {Lamp::Red, false, "failed"},
        {Lamp::Grey, false, "not yet done"}, {Lamp::Red, true, "in progress"}, {Lamp::Green, true, "in progress"}};
    // clang-format on
    for (const auto &[id, caption] : lamps) {
        for (const auto &[lamp, pass, said] : states) {
            if (pass && id != LampId::Working)
                continue;
            SCOPED_TRACE(std::string(caption) + ": " + said);
            window.setProgress(pass ? 1 : 0, pass ? 10 : 0);
            window.setLamp(id, lamp);
            // Its label and the PROGRAM button share its name: the lamp is the one saying a state.
            const QString state = QString::fromLatin1(caption) + QStringLiteral(": ");
            QAccessibleInterface *read = findAccessible(window, QLatin1String(caption), [&](auto *node) {
                return node->text(QAccessible::Description).startsWith(state);
            });
            ASSERT_NE(read, nullptr);
            EXPECT_EQ(read->text(QAccessible::Description), state + QLatin1String(said));
        }
    }
    // The colours are kept blue-green-red: red is the one a swap would show.
    EXPECT_EQ(LampWidget::colour(Lamp::Red), QColor(255, 0, 0));
    for (const auto &[name, role] : {std::pair{"Choose firmware file", QAccessible::Button},
                                     {"Program", QAccessible::Button},
                                     {"Exit", QAccessible::Button},
                                     {"Status", QAccessible::StaticText}})
        EXPECT_NE(
            findAccessible(window, QLatin1String(name), [role](auto *node) { return node->role() == role; }),
            nullptr)
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
