#include "app/gui/AboutDialog.h"

#include "app/gui/TwipScale.h"
#include "platform/Types.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVersionNumber>

#ifndef ROMWRIGHT_VERSION
#define ROMWRIGHT_VERSION ""
#endif

namespace romwright {
namespace {

TwipScale screenScale()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? TwipScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY()) : TwipScale(96, 96);
}

QLabel *addLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry, const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

} // namespace

QString AboutDialog::versionText()
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral(ROMWRIGHT_VERSION);
    const QVersionNumber number = QVersionNumber::fromString(version);
    return QStringLiteral("Version %1.%2.%3")
        .arg(number.majorVersion())
        .arg(number.minorVersion())
        .arg(number.microVersion());
}

AboutDialog::AboutDialog(Dialogs &dialogs, const Registry &registry, QWidget *parent, SysInfoTools tools)
    : QDialog(parent), m_dialogs(dialogs), m_registry(registry), m_tools(std::move(tools))
{
    const TwipScale scale = screenScale();
    const QString title = QString::fromLatin1(kApplicationTitle);
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + title);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(scale.x(5730), scale.y(3555));

    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    font.setBold(false);
    setFont(font);
    QFont titleFont = font;
    titleFont.setPointSizeF(13.5);
    titleFont.setBold(true);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setGeometry(scale.rect(240, 240, 720, 720));
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(programIcon());

    addLabel(this, "lblTitle", title, scale.rect(1050, 240, 3885, 480), titleFont);
    addLabel(this, "lblVersion", versionText(), scale.rect(1050, 780, 3885, 225), font);
    addLabel(this, "lblDescription",
             QStringLiteral("%1 updates the firmware of Halvern, Jorlith and Wexmoor optical mark scanners "
                            "over a serial line.")
                 .arg(title),
             scale.rect(1050, 1125, 3885, 930), font);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(scale.rect(4245, 2625, 1260, 345));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setGeometry(scale.rect(4260, 3075, 1245, 345));
    sysInfo->setAutoDefault(false);
    connect(sysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(m_registry, m_dialogs, m_tools); });

    // The etched rule between the text and the buttons.
    m_ruleLeft = scale.x(90);
    m_ruleRight = scale.x(5654);
    m_greyY = scale.y(2445);
    m_whiteY = scale.y(2460);
}

void AboutDialog::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    painter.drawLine(m_ruleLeft, m_greyY, m_ruleRight, m_greyY);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(m_ruleLeft, m_whiteY + 1, m_ruleRight, m_whiteY + 1);
}

QPixmap programIcon()
{
    // A memory chip with an arrow into it: new firmware going in.
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x20, 0x20, 0x30);
    p.setPen(QPen(ink, 1.5));
    for (int i = 0; i < 5; ++i) {
        const qreal y = 17 + i * 6;
        p.drawLine(QPointF(5, y), QPointF(11, y));
        p.drawLine(QPointF(37, y), QPointF(43, y));
    }
    p.setBrush(QColor(0x30, 0x30, 0x40));
    p.drawRoundedRect(QRectF(11, 13, 26, 32), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x00, 0x00, 0xC0));
    p.drawPolygon(QPolygonF{{20, 2}, {28, 2}, {28, 14}, {34, 14}, {24, 26}, {14, 14}, {20, 14}});
    p.setBrush(QColor(0xE0, 0xE0, 0xE0));
    p.drawEllipse(QPointF(31, 39), 2.2, 2.2);
    return pixmap;
}

void showAbout(QWidget *parent, Dialogs &dialogs, const Registry &registry)
{
    AboutDialog about(dialogs, registry, parent);
    about.exec();
}

} // namespace romwright
