#include "app/window/ChooseScannerDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;

namespace {

template <typename W> W *child(const QWidget &parent, const char *name)
{
    W *w = parent.findChild<W *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Runs action on the chooser once it is shown modally.
void whenShown(std::function<void(ChooseScannerDialog &)> action)
{
    QTimer::singleShot(0, [action] {
        auto *dialog = qobject_cast<ChooseScannerDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        action(*dialog);
    });
}

} // namespace

TEST(ChooseScanner, EachWayOutGivesItsAnswer)
{
    struct Case {
        const char *what;
        std::function<void(ChooseScannerDialog &)> act;
        std::optional<QString> answer;
    };
    const auto click = [](const char *button) {
        return [button](ChooseScannerDialog &d) { child<QPushButton>(d, button)->click(); };
    };
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        return [k, m](ChooseScannerDialog &d) {
            QKeyEvent press(QEvent::KeyPress, k, m);
            QApplication::sendEvent(&d, &press);
        };
    };
    const Case cases[] = {
        {"Halvern button", click("cmdHalvern"), QStringLiteral("Halvern1450")},
        {"Jorlith button", click("cmdJorlith"), QStringLiteral("Jorlith750")},
        {"Wexmoor button", click("cmdWexmoor"), QStringLiteral("Wexmoor 3650")},
        {"closed by its frame", [](ChooseScannerDialog &d) { d.close(); }, QStringLiteral("Halvern1450")},
        {"Exit", click("cmdExit"), std::nullopt},
        {"Escape is Exit", key(Qt::Key_Escape), std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        whenShown(c.act);
        EXPECT_EQ(chooseScannerWindow(nullptr), c.answer);
    }
}
