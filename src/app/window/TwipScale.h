#pragma once
// Twips (1,440 an inch) to pixels at the screen's logical resolution; the
// window's positions and sizes are given in twips.

#include <QRect>
#include <QtMath>

namespace romwright {

class TwipScale {
public:
    TwipScale(qreal dpiX, qreal dpiY) : m_dpiX(dpiX), m_dpiY(dpiY) {}

    int x(int twips) const { return qRound(twips * m_dpiX / 1440.0); }
    int y(int twips) const { return qRound(twips * m_dpiY / 1440.0); }

    // Edges are rounded, not sizes, so neighbours never gain or lose a pixel between them.
    QRect rect(int left, int top, int width, int height) const
    {
        return QRect(QPoint(x(left), y(top)), QPoint(x(left + width) - 1, y(top + height) - 1));
    }

private:
    qreal m_dpiX;
    qreal m_dpiY;
};

} // namespace romwright
