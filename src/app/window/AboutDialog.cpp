#include "app/window/AboutDialog.h"

#include "app/window/TwipScale.h"
#include "platform/Types.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVersionNumber>

#include <algorithm>

#ifndef ROMWRIGHT_VERSION
#define ROMWRIGHT_VERSION ""
#endif

namespace romwright {
namespace {

TwipScale screenScale()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? TwipScale(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY())
                  : TwipScale(96, 96);
}

QLabel *addLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry,
                 const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    // A wider or taller font than the twips were measured with (Windows at
    // 125 or 150 %, Wine) takes the room below rather than losing a line.
    label->resize(label->width(), std::max(label->height(), label->heightForWidth(label->width())));
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

AboutDialog::AboutDialog(const Registry &registry, QWidget *parent, SysInfoTools tools, ProgramFacts facts)
    : QDialog(parent), m_registry(registry), m_tools(std::move(tools)), m_facts(std::move(facts))
{
    m_facts.version = versionText();
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
    // Below the description's three lines, above the rule.
    addLabel(this, "lblLicence", QString::fromLatin1(kLicenceLine), scale.rect(1050, 1860, 3885, 480), font);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(scale.rect(4245, 2625, 1260, 345));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setGeometry(scale.rect(4260, 3075, 1245, 345));
    sysInfo->setAutoDefault(false);
    if (!m_tools.ownSummary)
        m_tools.ownSummary = [this] { showSystemInfo(this, m_facts); };
    connect(sysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(m_registry, m_tools); });

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
    return QPixmap(QStringLiteral(":/icons/romwright-48.png"));
}

void showAbout(QWidget *parent, const Registry &registry, const ProgramFacts &facts)
{
    AboutDialog about(registry, parent, {}, facts);
    about.exec();
}

} // namespace romwright
