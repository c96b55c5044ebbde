#pragma once
// The pictures of the chooser: a line drawing of each scanner family, drawn
// at whatever size the picture box has.

#include <QFrame>

class QPainter;

namespace romwright {

enum class ScannerFamily { Halvern, Jorlith, Wexmoor };

// Draws the family's scanner inside rect.
void drawScanner(QPainter &painter, const QRectF &rect, ScannerFamily family);

class ChooseScannerPicture : public QFrame {
    Q_OBJECT
public:
    ChooseScannerPicture(ScannerFamily family, QWidget *parent = nullptr);
    ScannerFamily family() const { return m_family; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ScannerFamily m_family;
};

} // namespace romwright
