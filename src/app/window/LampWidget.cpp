#include "app/window/LampWidget.h"

#include <QPainter>

namespace romwright {

LampWidget::LampWidget(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QColor LampWidget::colour(Lamp lamp)
{
    const std::uint32_t bgr = lampBgr(lamp);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void LampWidget::setLamp(Lamp lamp)
{
    if (lamp == m_lamp)
        return;
    m_lamp = lamp;
    update();
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
}

} // namespace romwright
