#include "app/window/MainWindow.h"
#include "app/window/LampWidget.h"
#include "app/window/WidgetDialogs.h"
#include "platform/FileSystem.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
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

TEST_F(MainWindowTest, PortsWithoutADeviceAreOffProgressCountsAndTheBusyCursorDoesNotStack)
{
    window.setPortDevices({"/dev/ttyUSB0", ""});
    EXPECT_TRUE(window.portAction(1)->isEnabled());
    EXPECT_FALSE(window.portAction(2)->isEnabled());
    EXPECT_FALSE(window.portAction(8)->isEnabled());

    window.setProgress(3, 945);
    EXPECT_EQ(window.findChild<QProgressBar *>("prgBlocks")->text(), QStringLiteral("3 of 945 blocks"));
    window.setProgress(0, 0);
    EXPECT_TRUE(window.findChild<QProgressBar *>("prgBlocks")->isHidden());
    window.setBusy(true);
    window.setBusy(true);
    window.setBusy(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, KeyReleasesReachTheWindowOnceAndOnlyAfterTheirPress)
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
    send(QEvent::KeyPress, Qt::Key_E);
    send(QEvent::KeyRelease, Qt::Key_E);
    EXPECT_EQ(released, (QList<int>{Qt::Key_V, Qt::Key_E}));
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
TEST(WidgetDialogs, BoxesShowTheirTitleAndAnswerWhatWasTyped)
{
    WidgetDialogs dialogs;
    QString shown;
    // Answers the next box with typed (nullptr: Cancel) and notes what it showed.
    auto answer = [&shown](const char *typed) {
        QTimer::singleShot(0, [&shown, typed] {
            auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(modal, nullptr);
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                shown = box->windowTitle() + QLatin1Char('|') + QString::number(box->icon());
            if (auto *box = qobject_cast<QInputDialog *>(modal)) {
                shown = QStringList{box->windowTitle(), box->labelText(), box->textValue()}.join('|');
                box->setTextValue(QString::fromLatin1(typed));
            }
            typed ? modal->accept() : modal->reject();
        });
    };
    answer("");
    dialogs.message({}, {}, MessageIcon::None);
    EXPECT_EQ(shown, "Romwright|0");
    answer("");
    dialogs.message({}, QStringLiteral("File Type Required"), MessageIcon::Exclamation);
    EXPECT_EQ(shown, "File Type Required|2");
    answer("A");
    EXPECT_EQ(dialogs.inputBox("Letter?", "Q or A?", "Q"), "A");
    EXPECT_EQ(shown, "Q or A?|Letter?|Q");
    answer(nullptr);
    EXPECT_EQ(dialogs.inputBox("Letter?", {}, "Q"), QString());
    EXPECT_EQ(shown, "Romwright|Letter?|Q");
}

TEST(WidgetDialogs, OpenDialogListsFirmwareWhateverTheCaseOfItsName)
{
    QTemporaryDir dir;
    for (const char *name : {"Hlv1450ver5_9.s19", "HLV1450VER6_0.S19", "hlv1450ver5_8.s19", "JL750Ver5_0.s19",
                             "Hlv1450ver5_9.s20"})
        ASSERT_TRUE(QFile(dir.filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
    auto dialog = WidgetDialogs::makeOpenDialog(nullptr, QStringLiteral("Open"),
                                                QStringLiteral("Halvern Firmware Files|H*.S19"), dir.path());
    EXPECT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
    auto *model = dialog->findChild<QFileSystemModel *>();
    const QModelIndex root = model->index(dir.path());
    QStringList listed;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        listed.clear();
        for (int row = 0; row < model->rowCount(root); ++row)
            listed << model->index(row, 0, root).data().toString();
        listed.sort();
        return listed.size() >= 3;
    }));
    EXPECT_EQ(listed, (QStringList{"HLV1450VER6_0.S19", "Hlv1450ver5_9.s19", "hlv1450ver5_8.s19"}));
}
