#include "app/window/help/HelpPopupWindow.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

namespace romwright {

namespace {
QColor fromBgr(std::uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}
constexpr int kDefaultMargin = 8;
constexpr int kWidestNote = 360;
} // namespace

QFont HelpPopupWindow::fontFromDescription(const QString &description)
{
    const QStringList parts = description.split(QLatin1Char(','));
    QFont font;
    if (!parts.value(0).trimmed().isEmpty())
        font.setFamilies({parts.value(0).trimmed()});
    bool ok = false;
    const double size = parts.value(1).trimmed().toDouble(&ok);
    if (ok && size > 0 && size < 200)
        font.setPointSizeF(size);
    const QString styles = parts.mid(3).join(QLatin1Char(' '));
    font.setBold(styles.contains(QLatin1String("Bold"), Qt::CaseInsensitive));
    font.setItalic(styles.contains(QLatin1String("Italic"), Qt::CaseInsensitive));
    font.setUnderline(styles.contains(QLatin1String("Underline"), Qt::CaseInsensitive));
    return font;
}

HelpPopupWindow::HelpPopupWindow(const QString &text, const QString &font, std::uint32_t foreground,
                                 std::uint32_t background, const QMargins &margins, QWidget *parent)
    : QFrame(parent, Qt::Popup), m_label(new QLabel(text, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::Box);
    QPalette pal = palette();
    if (foreground != background) {
        pal.setColor(QPalette::Window, fromBgr(background));
        pal.setColor(QPalette::WindowText, fromBgr(foreground));
    } else {
        pal.setColor(QPalette::Window, QToolTip::palette().color(QPalette::ToolTipBase));
        pal.setColor(QPalette::WindowText, QToolTip::palette().color(QPalette::ToolTipText));
    }
    setPalette(pal);
    setAutoFillBackground(true);
    m_label->setFont(fontFromDescription(font));
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    // Short notes stay on one line; longer ones wrap at a readable width.
    const QFontMetrics metrics(m_label->font());
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    m_label->setFixedWidth(std::min(kWidestNote, widest + 2));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(margins.left() < 0 ? kDefaultMargin : margins.left(),
                               margins.top() < 0 ? kDefaultMargin : margins.top(),
                               margins.right() < 0 ? kDefaultMargin : margins.right(),
                               margins.bottom() < 0 ? kDefaultMargin : margins.bottom());
    layout->addWidget(m_label);
    adjustSize();
}

QString HelpPopupWindow::text() const
{
    return m_label->text();
}

} // namespace romwright
