#pragma once
// The pictures of the chooser: a line drawing of each scanner family, drawn
// at whatever size the picture box has.

#include "family/ScannerFamilies.h"

#include <QFrame>

class QPainter;

namespace romwright {

// Draws the scanner of the family with this type code inside rect; nothing
// for a family without a drawing.
void drawScanner(QPainter &painter, const QRectF &rect, int typeOfScanner);

class ChooseScannerPicture : public QFrame {
    Q_OBJECT
public:
    ChooseScannerPicture(int typeOfScanner, QWidget *parent = nullptr);
    int typeOfScanner() const { return m_typeOfScanner; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_typeOfScanner;
};

} // namespace romwright
