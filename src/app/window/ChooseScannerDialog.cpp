#include "app/window/ChooseScannerDialog.h"

#include "app/window/ChooseScannerPicture.h"
#include "app/window/TwipScale.h"
#include "scanner/ChooserAnswer.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace romwright {
namespace {

// &H00C00000&: the dark blue of frame captions.
const QColor kCaptionBlue(0x00, 0x00, 0xC0);

TwipScale screenScale()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? TwipScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY())
                  : TwipScale(96, 96);
}

} // namespace

ChooseScannerDialog::ChooseScannerDialog(QWidget *parent, std::function<bool()> mayExit)
    : QDialog(parent), m_mayExit(std::move(mayExit))
{
    const TwipScale scale = screenScale();
    setObjectName(QStringLiteral("frmChooseScanner"));
    setWindowTitle(QString::fromLatin1(kChooseScannerTitle));
    // Fixed dialog frame: title and close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(scale.x(6825), scale.y(5940));

    QFont font = QApplication::font();
    font.setPointSizeF(9.75);
    font.setBold(false);
    setFont(font);

    auto *label1 = new QLabel(QStringLiteral("Choose your scanner model by clicking the button beneath the "
                                             "picture that matches your scanner."),
                              this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label1->setWordWrap(true);
    label1->setGeometry(scale.rect(450, 240, 6000, 500));
    // Two lines of the font the twips were measured with; a taller font (as
    // Windows' at 125 or 150 %, or under Wine) takes the room above the
    // frames rather than losing the second line.
    label1->resize(label1->width(), std::max(label1->height(), label1->heightForWidth(label1->width())));

    addFamilies(scale, font);

    auto *cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(scale.rect(4440, 4320, 1335, 735));
    connect(cmdExit, &QPushButton::clicked, this, [this] {
        if (m_mayExit && !m_mayExit())
            return;
        m_exit = true;
        done(QDialog::Rejected);
    });

    // Centred on the screen, not on the (still hidden) main window.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

// A frame for each family, with its picture and the button that chooses it.
void ChooseScannerDialog::addFamilies(const TwipScale &scale, const QFont &font)
{
    // The fixed places of the buttons, one per family in table order.
    struct Place {
        const char *frame;
        const char *picture;
        int left;
        int top;
    };
    static constexpr Place kPlaces[] = {
        {"Frame1", "Picture1", 240, 1080},
        {"Frame2", "Picture2", 3480, 1080},
        {"fraWexmoor", "Picture3", 240, 3500},
    };
    static_assert(std::size(kPlaces) == kScannerFamilies.size(), "every family needs a place in the chooser");
    for (std::size_t i = 0; i < kScannerFamilies.size(); ++i) {
        const ScannerFamily &f = kScannerFamilies[i];
        const Place &place = kPlaces[i];
        auto *frame = new QGroupBox(latin1(f.shown), this);
        frame->setObjectName(QString::fromLatin1(place.frame));
        QFont bold = font;
        bold.setBold(true);
        frame->setFont(bold);
        QPalette blue = frame->palette();
        blue.setColor(QPalette::WindowText, kCaptionBlue);
        frame->setPalette(blue);
        frame->setGeometry(scale.rect(place.left, place.top, 3135, 2200));

        auto *picture = new ChooseScannerPicture(f.type, frame);
        picture->setObjectName(QString::fromLatin1(place.picture));
        picture->setGeometry(scale.rect(450, 400, 2300, 900));

        auto *button = new QPushButton(latin1(f.shown), frame);
        button->setObjectName(QStringLiteral("cmd") + latin1(f.family));
        button->setFont(font);
        button->setPalette(palette());
        button->setGeometry(scale.rect(300, 1500, 2535, 495));
        const QString model = latin1(f.chooserModel);
        connect(button, &QPushButton::clicked, this, [this, model] { choose(model); });
    }
}

void ChooseScannerDialog::choose(const QString &model)
{
    m_model = model;
    done(QDialog::Accepted);
}

std::optional<QString> chooseScannerWindow(QWidget *parent, std::function<bool()> mayExit)
{
    ChooseScannerDialog dialog(parent, std::move(mayExit));
    dialog.exec();
    if (dialog.exitChosen())
        return std::nullopt;
    return dialog.Model();
}

} // namespace romwright
