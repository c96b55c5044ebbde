#include "app/gui/ChooseScannerDialog.h"
#include "app/gui/ChooseScannerPicture.h"
#include "app/gui/TwipScale.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

using namespace romwright;

namespace {

TwipScale scale()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return TwipScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

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

void saveSnapshot(QWidget &widget, const char *file)
{
    const QByteArray dir = qgetenv("ROMWRIGHT_SNAPSHOT_DIR");
    if (!dir.isEmpty())
        widget.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(file)));
}

} // namespace

TEST(ChooseScanner, LayoutTextsAndPlaces)
{
    ChooseScannerDialog dialog;
    const TwipScale s = scale();
    EXPECT_EQ(dialog.windowTitle(), QLatin1String("Choose Your Scanner"));
    EXPECT_EQ(dialog.size(), QSize(s.x(6825), s.y(5940)));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()); // not resizable
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    struct Control {
        const char *name;
        const char *text;
        QRect place;
    };
    const Control controls[] = {
        {"Label1", "Choose your scanner model by clicking the button beneath the picture that matches your scanner.",
         s.rect(450, 240, 6000, 500)},
        {"Frame1", "Halvern 1450", s.rect(240, 1080, 3135, 2200)},
        {"Frame2", "Jorlith 750", s.rect(3480, 1080, 3135, 2200)},
        {"fraWexmoor", "Wexmoor 3650", s.rect(240, 3500, 3135, 2200)},
        {"cmdHalvern", "Halvern 1450", s.rect(300, 1500, 2535, 495)},
        {"cmdJorlith", "Jorlith 750", s.rect(300, 1500, 2535, 495)},
        {"cmdWexmoor", "Wexmoor 3650", s.rect(300, 1500, 2535, 495)},
        {"cmdExit", "E&xit", s.rect(4440, 4320, 1335, 735)},
        {"Picture1", nullptr, s.rect(450, 400, 2300, 900)},
        {"Picture2", nullptr, s.rect(450, 400, 2300, 900)},
        {"Picture3", nullptr, s.rect(450, 400, 2300, 900)},
    };
    for (const Control &c : controls) {
        SCOPED_TRACE(c.name);
        QWidget *w = child<QWidget>(dialog, c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), c.place);
        if (!c.text)
            continue;
        QString text;
        if (auto *label = qobject_cast<QLabel *>(w))
            text = label->text();
        else if (auto *button = qobject_cast<QPushButton *>(w))
            text = button->text();
        else if (auto *frame = qobject_cast<QGroupBox *>(w))
            text = frame->title();
        EXPECT_EQ(text, QLatin1String(c.text));
    }
    // Each picture sits in the frame of its button; the frames' captions are bold and blue.
    for (const char *frame : {"Frame1", "Frame2", "fraWexmoor"}) {
        auto *box = child<QGroupBox>(dialog, frame);
        EXPECT_EQ(box->findChildren<ChooseScannerPicture *>().size(), 1);
        EXPECT_TRUE(box->font().bold());
        EXPECT_EQ(box->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0xC0));
    }
    EXPECT_FALSE(child<QPushButton>(dialog, "cmdHalvern")->font().bold());
    EXPECT_EQ(child<ChooseScannerPicture>(dialog, "Picture3")->family(), ScannerFamily::Wexmoor);

    dialog.show();
    saveSnapshot(dialog, "chooser.png");
}

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
        {"Alt+X is Exit", [](ChooseScannerDialog &d) { child<QPushButton>(d, "cmdExit")->animateClick(); }, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        whenShown(c.act);
        EXPECT_EQ(chooseScannerWindow(nullptr), c.answer);
    }
}

TEST(ChooseScanner, PicturesDrawSomethingDifferentForEachFamily)
{
    std::vector<QImage> images;
    for (ScannerFamily family : {ScannerFamily::Halvern, ScannerFamily::Jorlith, ScannerFamily::Wexmoor}) {
        QImage image(150, 60, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        drawScanner(painter, image.rect(), family);
        painter.end();
        int ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ink += qGray(image.pixel(x, y)) < 128;
        EXPECT_GT(ink, 150); // a drawing, not an empty box
        images.push_back(image);
    }
    EXPECT_NE(images[0], images[1]);
    EXPECT_NE(images[1], images[2]);
}
