#include "app/window/LampWidget.h"

#include <QPainter>
#include <QPainterPath>

namespace romwright {

LampWidget::LampWidget(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    describe();
}

QColor LampWidget::colour(Lamp lamp)
{
    const std::uint32_t bgr = lampBgr(lamp);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void LampWidget::setCaption(const QString &caption)
{
    m_caption = caption;
    setAccessibleName(caption);
    describe();
}

void LampWidget::setLamp(Lamp lamp)
{
    if (lamp == m_lamp)
        return;
    m_lamp = lamp;
    describe();
    update();
}

void LampWidget::setBlinking(bool blinking)
{
    if (blinking == m_blinking)
        return;
    m_blinking = blinking;
    describe();
    update();
}

QString LampWidget::stateText() const
{
    if (m_blinking)
        return QStringLiteral("in progress");
    switch (m_lamp) {
    case Lamp::Green:
        return QStringLiteral("done");
    case Lamp::Red:
        return QStringLiteral("failed");
    case Lamp::Grey:
        break;
    }
    return QStringLiteral("not yet done");
}

void LampWidget::describe()
{
    const QString text = m_caption.isEmpty() ? stateText() : m_caption + QStringLiteral(": ") + stateText();
    setAccessibleDescription(text);
    setToolTip(text);
}

void LampWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = box.width() / 5.0;
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(colour(m_lamp));
    painter.drawRoundedRect(box, radius, radius);

    // The mark, in black: it reads on all three fills.
    const qreal w = box.width();
    const qreal h = box.height();
    const QPointF o = box.topLeft();
    auto at = [&](qreal x, qreal y) { return o + QPointF(x * w, y * h); };
    QPen pen(Qt::black, std::max<qreal>(1.5, w / 8.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (m_blinking) { // three dots
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        const qreal r = std::max<qreal>(1.0, w / 14.0);
        for (const qreal x : {0.27, 0.5, 0.73})
            painter.drawEllipse(at(x, 0.5), r, r);
        return;
    }
    switch (m_lamp) {
    case Lamp::Green: {
        QPainterPath tick(at(0.24, 0.55));
        tick.lineTo(at(0.42, 0.75));
        tick.lineTo(at(0.78, 0.3));
        painter.drawPath(tick);
        break;
    }
    case Lamp::Red:
        painter.drawLine(at(0.28, 0.28), at(0.72, 0.72));
        painter.drawLine(at(0.72, 0.28), at(0.28, 0.72));
        break;
    case Lamp::Grey: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        const qreal r = std::max<qreal>(1.5, w / 10.0);
        painter.drawEllipse(at(0.5, 0.5), r, r);
        break;
    }
    }
}

} // namespace romwright
