#include "app/window/ChooseScannerPicture.h"

#include <QPainter>
#include <QPainterPath>

namespace romwright {
namespace {

// The drawings are made on a 150 x 60 grid, the size of the chooser's picture boxes.
constexpr qreal kGridWidth = 150.0;
constexpr qreal kGridHeight = 60.0;

const QColor kInk(0x30, 0x30, 0x38);
const QColor kBody(0xEE, 0xEE, 0xEA);
const QColor kShade(0xC8, 0xC8, 0xC4);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kLed(0x00, 0xB0, 0x00);

void sheetStack(QPainter &p, QPointF from, QPointF to, int sheets, QPointF step)
{
    p.setBrush(kPaper);
    for (int i = sheets - 1; i >= 0; --i)
        p.drawLine(from + step * i, to + step * i);
}

// A long, low desktop reader: hopper on the right, stacker on the left.
void drawHalvern(QPainter &p)
{
    // Hopper with sheets, sloping up to the right.
    p.setBrush(kShade);
    p.drawPolygon(QPolygonF{{108, 30}, {138, 8}, {146, 13}, {122, 30}});
    sheetStack(p, {114, 28}, {139, 10}, 4, {1.6, 0.4});
    // Body.
    p.setBrush(kBody);
    p.drawRoundedRect(QRectF(18, 28, 112, 22), 4, 4);
    p.drawLine(QPointF(22, 34), QPointF(126, 34));
    // Stacker tray on the left with a sheet in it.
    p.setBrush(kShade);
    p.drawPolygon(QPolygonF{{18, 40}, {3, 44}, {3, 40}, {18, 36}});
    p.setBrush(kPaper);
    p.drawRect(QRectF(6, 38.5, 11, 2));
    // Control panel: two lamps and a key.
    p.setBrush(kShade);
    p.drawRoundedRect(QRectF(30, 38, 26, 8), 1.5, 1.5);
    p.setBrush(kLed);
    p.drawEllipse(QPointF(35, 42), 1.6, 1.6);
    p.setBrush(kBody);
    p.drawEllipse(QPointF(41, 42), 1.6, 1.6);
    p.drawRect(QRectF(46, 40, 7, 4));
    // Feet.
    p.setBrush(kInk);
    p.drawRect(QRectF(26, 50, 8, 2.5));
    p.drawRect(QRectF(114, 50, 8, 2.5));
}

// A compact upright reader: sheets go in at the top and out at the front.
void drawJorlith(QPainter &p)
{
    // Sheet entering the top slot.
    p.setBrush(kPaper);
    p.drawRect(QRectF(58, 3, 34, 13));
    p.drawLine(QPointF(62, 7), QPointF(84, 7));
    p.drawLine(QPointF(62, 10), QPointF(80, 10));
    // Body with a rounded top.
    QPainterPath body;
    body.moveTo(44, 54);
    body.lineTo(44, 24);
    body.cubicTo(44, 12, 106, 12, 106, 24);
    body.lineTo(106, 54);
    body.closeSubpath();
    p.setBrush(kBody);
    p.drawPath(body);
    p.drawLine(QPointF(56, 16), QPointF(94, 16)); // feed slot
    // Display and keys.
    p.setBrush(kShade);
    p.drawRect(QRectF(50, 24, 22, 9));
    p.setBrush(kBody);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(82 + i * 7.5, 28.5), 2.2, 2.2);
    // Exit slot with a sheet coming out onto the tray.
    p.drawLine(QPointF(52, 42), QPointF(98, 42));
    p.setBrush(kShade);
    p.drawPolygon(QPolygonF{{44, 50}, {106, 50}, {118, 56}, {32, 56}});
    p.setBrush(kPaper);
    p.drawPolygon(QPolygonF{{58, 42}, {92, 42}, {96, 52}, {54, 52}});
}

// A wide console reader with its bar-code window.
void drawWexmoor(QPainter &p)
{
    // Hopper on the left.
    p.setBrush(kShade);
    p.drawPolygon(QPolygonF{{12, 24}, {4, 6}, {12, 4}, {26, 24}});
    sheetStack(p, {8, 8}, {18, 23}, 4, {1.5, -0.3});
    // Body in two tiers.
    p.setBrush(kBody);
    p.drawRect(QRectF(8, 24, 134, 26));
    p.drawRect(QRectF(30, 16, 80, 8));
    p.drawLine(QPointF(8, 30), QPointF(142, 30));
    // Display.
    p.setBrush(kShade);
    p.drawRect(QRectF(36, 18, 26, 4.5));
    // Bar-code reader window with a code in it.
    p.setBrush(kPaper);
    const QRectF window(96, 34, 38, 12);
    p.drawRect(window);
    p.setBrush(kInk);
    const qreal widths[] = {1, 2, 1, 1, 3, 1, 2, 1, 1, 2, 3, 1, 1, 2};
    qreal x = window.left() + 3;
    for (std::size_t i = 0; i < std::size(widths) && x < window.right() - 3; ++i) {
        if (i % 2 == 0)
            p.fillRect(QRectF(x, window.top() + 2, widths[i], window.height() - 4), kInk);
        x += widths[i] + 0.6;
    }
    // Lamps and the stacker slot.
    p.setBrush(kLed);
    p.drawEllipse(QPointF(16, 38), 1.8, 1.8);
    p.setBrush(kBody);
    p.drawEllipse(QPointF(23, 38), 1.8, 1.8);
    p.drawLine(QPointF(34, 42), QPointF(86, 42));
    // Plinth.
    p.setBrush(kShade);
    p.drawRect(QRectF(12, 50, 126, 5));
}

} // namespace

void drawScanner(QPainter &painter, const QRectF &rect, int typeOfScanner)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Keep the drawing's proportions and centre it in the box.
    const qreal scale = std::min(rect.width() / kGridWidth, rect.height() / kGridHeight);
    painter.translate(rect.center());
    painter.scale(scale, scale);
    painter.translate(-kGridWidth / 2, -kGridHeight / 2);
    QPen pen(kInk);
    pen.setWidthF(1.1);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    switch (typeOfScanner) {
    case kHalvern1450:
        drawHalvern(painter);
        break;
    case kJorlith750:
        drawJorlith(painter);
        break;
    case kWexmoor3650:
        drawWexmoor(painter);
        break;
    default:
        break; // a family without a drawing: the box stays white
    }
    painter.restore();
}

ChooseScannerPicture::ChooseScannerPicture(int typeOfScanner, QWidget *parent)
    : QFrame(parent), m_typeOfScanner(typeOfScanner)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
}

void ChooseScannerPicture::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    drawScanner(painter, QRectF(contentsRect()).adjusted(1, 1, -1, -1), m_typeOfScanner);
}

} // namespace romwright
