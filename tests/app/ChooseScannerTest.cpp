#include "app/window/AboutDialog.h"
#include "app/window/ChooseScannerDialog.h"
#include "platform/Registry.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;

TEST(ChooseScanner, EachWayOutGivesItsAnswer)
{
    const auto click = [](const char *button) {
        return [button](QDialog &d) { d.findChild<QPushButton *>(QLatin1String(button))->click(); };
    };
    // The last: the check on Exit says No once (it warned), and the chooser stays.
    const std::tuple<const char *, std::function<void(QDialog &)>, std::optional<QString>, int> cases[] = {
        {"Halvern button", click("cmdHalvern"), QStringLiteral("Halvern1450"), 0},
        {"Jorlith button", click("cmdJorlith"), QStringLiteral("Jorlith750"), 0},
        {"Wexmoor button", click("cmdWexmoor"), QStringLiteral("Wexmoor 3650"), 0},
        {"closed by its frame: no choice", [](QDialog &d) { d.close(); }, QString(), 0},
        {"Exit", click("cmdExit"), std::nullopt, 1},
        {"Escape is no choice either",
         [](QDialog &d) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&d, &press);
         },
         QString(), 0},
        {"Exit kept by its check",
         [&click](QDialog &d) {
             click("cmdExit")(d);
             EXPECT_TRUE(d.isVisible());
             click("cmdWexmoor")(d);
         },
         QStringLiteral("Wexmoor 3650"), 1},
    };
    for (const auto &[what, act, answer, checks] : cases) {
        SCOPED_TRACE(what);
        QTimer::singleShot(0, [&act] {
            auto *dialog = qobject_cast<ChooseScannerDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
        });
        int asked = 0;
        const bool refuse = answer.has_value(); // only where a button follows
        EXPECT_EQ(chooseScannerWindow(nullptr, [&] { return ++asked > (refuse ? 1 : 0); }), answer);
        EXPECT_EQ(asked, checks);
    }
}

// Every label of the chooser and the About box shows its whole text: a
// wrapped one is as tall as its lines, another as wide as its text, in a font
// wider than the one the twips were measured with (as Wine's is). Run at 96,
// 120 and 144 dpi (100, 125 and 150 % on Windows) too.
TEST(ChooseScanner, EveryLabelHereAndInTheAboutBoxShowsItsWholeText)
{
    QTemporaryDir dir;
    const auto registry = makeSettingsRegistry(dir.filePath(QStringLiteral("registry.ini")));
    const QFont before = QApplication::font();
    QFont wide = before;
    wide.setStretch(QFont::ExtraExpanded);
    QApplication::setFont(wide);
    ChooseScannerDialog chooser;
    AboutDialog about(*registry);
    for (const QDialog *dialog : {static_cast<QDialog *>(&chooser), static_cast<QDialog *>(&about)}) {
        for (const QLabel *label : dialog->findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue; // a picture
            const QSize needs =
                label->wordWrap() ? QSize(0, label->heightForWidth(label->width())) : label->sizeHint();
            EXPECT_TRUE(needs.width() <= label->width() && needs.height() <= label->height())
                << qPrintable(label->objectName()) << " needs " << needs.width() << "x" << needs.height()
                << ", has " << label->width() << "x" << label->height();
        }
    }
    QApplication::setFont(before);
}
