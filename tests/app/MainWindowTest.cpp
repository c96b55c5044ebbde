#include "app/window/MainWindow.h"
#include "app/common/MainState.h"
#include "app/window/LampWidget.h"
#include "app/window/MainWindowHandlers.h"
#include "app/window/WidgetDialogs.h"
#include "help/HTMLHelp.h"
#include "help/RecordingHelpViewer.h"
#include "platform/FileSystem.h"
#include "platform/PortMap.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/Registry.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
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

} // namespace

class MainWindowTest : public testing::Test {
protected:
    template <typename T> T *child(const char *name) const
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }

    MainWindow window;
};

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

TEST_F(MainWindowTest, PortClickLeavesTheTickToTheHandlerAndEmptyEntriesAreOff)
{
    QList<int> clicked;
    QObject::connect(&window, &MainWindow::portClicked, [&](int port) { clicked << port; });
    window.setPortTicked(2);
    window.portAction(5)->trigger();
    EXPECT_EQ(clicked, QList<int>{5});
    EXPECT_FALSE(window.portAction(5)->isChecked());
    EXPECT_TRUE(window.portAction(2)->isChecked());

    window.setPortDevices({"/dev/ttyUSB0", ""});
    EXPECT_EQ(window.portAction(1)->toolTip(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_FALSE(window.portAction(2)->isEnabled());
    EXPECT_FALSE(window.portAction(8)->isEnabled());
}

TEST_F(MainWindowTest, ProgressTextAndBusyCursorDoesNotStack)
{
    window.setProgress(3, 945);
    EXPECT_EQ(child<QProgressBar>("prgBlocks")->text(), QStringLiteral("3 of 945 blocks"));
    window.setProgress(0, 0);
    EXPECT_TRUE(child<QProgressBar>("prgBlocks")->isHidden());
    window.setBusy(true);
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

// F1 belongs to the Help menu: pressed in the window it opens the help file
// with its contents at the start page, and a locked menu takes it along.
TEST(MainWindowHelp, F1OpensTheHelpFileAtTheAboutPageUnlessTheMenuIsLocked)
{
    QTemporaryDir folder;
    QFile chm(folder.filePath(QStringLiteral("Romwright.CHM")));
    ASSERT_TRUE(chm.open(QIODevice::WriteOnly));
    chm.close();
    MainWindow window;
    test::ScriptedDialogs dialogs;
    QtClock sleeper;
    LocalFileSystem files;
    test::RecordingHelpViewer viewer;
    auto registry = makeSettingsRegistry(folder.filePath(QStringLiteral("registry.ini")));
    MainState state(std::make_unique<QtSerialPort>(PortMap::fromList(QString())),
                    {window, dialogs, sleeper, files, folder.path()});
    MainWindowHandlers frm(
        window, {state, sleeper, files, dialogs, folder.path()},
        [&] { return std::make_unique<HTMLHelp>(viewer, dialogs, *registry, files, folder.path()); }, {},
        [](int) {});
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &window; }));

    window.setControlEnabled(ControlId::HelpMenu, false);
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_TRUE(viewer.calls.empty());
    window.setControlEnabled(ControlId::HelpMenu, true);
    QTest::keyClick(&window, Qt::Key_F1);
    ASSERT_EQ(viewer.calls.size(), 2u); // the contents, then the about page
    EXPECT_EQ(std::get<QString>(viewer.calls[1].data), QStringLiteral("about.html"));
    EXPECT_TRUE(dialogs.messages.empty());
}

// A file name is shown as written, never read as markup; bytes that are not
// UTF-8 show as U+FFFD.
TEST_F(MainWindowTest, FileLabelShowsHostileNamesAsPlainText)
{
    const struct {
        QByteArray name;
        QString shown;
    } cases[] = {
        {"bad%1 %2,x.s19", QStringLiteral("bad%1 %2,x.s19")},
        {"<h1>OK<!--.s19", QStringLiteral("<h1>OK<!--.s19")},
        {"caf\xe9.s19", QStringLiteral("caf\uFFFD.s19")},
    };
    auto *label = child<QLabel>("lblFirmFile");
    ASSERT_NE(label, nullptr);
    for (const auto &c : cases) {
        window.setText(LabelId::FirmFile, displayFileName(decodeFileName(c.name)));
        EXPECT_EQ(label->text(), c.shown);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

// What a box shows (title, icon or prompt and default) and what it answers;
// a box without a title carries the program's name.
TEST(WidgetDialogs, BoxesShowTheirTitleAndAnswerWhatWasTyped)
{
    using D = WidgetDialogs;
    const QString prompt = QStringLiteral("Enter the letter to wait for.");
    const struct {
        std::function<QString(D &)> show;
        const char *typed; // nullptr: cancelled
        const char *shown;
        const char *answer;
    } cases[] = {
        {[](D &d) {
             d.message({}, {}, MessageIcon::None);
             return QString();
         },
         "", "Romwright|0", ""},
        {[](D &d) {
             d.message({}, "File Type Required", MessageIcon::Exclamation);
             return QString();
         },
         "", "File Type Required|2", ""},
        {[](D &d) {
             d.message({}, "Oops", MessageIcon::Critical);
             return QString();
         },
         "", "Oops|3", ""},
        {[&](D &d) { return d.inputBox(prompt, "Q or A?", "Q"); }, "A",
         "Q or A?|Enter the letter to wait for.|Q", "A"},
        {[&](D &d) { return d.inputBox(prompt, {}, "Q"); }, nullptr,
         "Romwright|Enter the letter to wait for.|Q", ""},
    };
    WidgetDialogs dialogs;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shown);
        QString shown;
        whenModal([&](QWidget *modal) {
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                shown = box->windowTitle() + QLatin1Char('|') + QString::number(box->icon());
            if (auto *box = qobject_cast<QInputDialog *>(modal)) {
                shown = box->windowTitle() + QLatin1Char('|') + box->labelText() + QLatin1Char('|') +
                        box->textValue();
                box->setTextValue(QString::fromLatin1(c.typed));
            }
            c.typed ? static_cast<QDialog *>(modal)->accept() : static_cast<QDialog *>(modal)->reject();
        });
        EXPECT_EQ(c.show(dialogs), QLatin1String(c.answer));
        EXPECT_EQ(shown, QLatin1String(c.shown));
    }
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
