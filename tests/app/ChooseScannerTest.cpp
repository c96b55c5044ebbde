#include "app/window/ChooseScannerDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;

TEST(ChooseScanner, EachWayOutGivesItsAnswer)
{
    const auto click = [](const char *button) {
        return [button](QDialog &d) { d.findChild<QPushButton *>(QLatin1String(button))->click(); };
    };
    const std::tuple<const char *, std::function<void(QDialog &)>, std::optional<QString>> cases[] = {
        {"Halvern button", click("cmdHalvern"), QStringLiteral("Halvern1450")},
        {"Jorlith button", click("cmdJorlith"), QStringLiteral("Jorlith750")},
        {"Wexmoor button", click("cmdWexmoor"), QStringLiteral("Wexmoor 3650")},
        {"closed by its frame: no choice", [](QDialog &d) { d.close(); }, QString()},
        {"Exit", click("cmdExit"), std::nullopt},
        {"Escape is no choice either",
         [](QDialog &d) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&d, &press);
         },
         QString()},
    };
    for (const auto &[what, act, answer] : cases) {
        SCOPED_TRACE(what);
        QTimer::singleShot(0, [&act] {
            auto *dialog = qobject_cast<ChooseScannerDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
        });
        EXPECT_EQ(chooseScannerWindow(nullptr), answer);
    }
}
