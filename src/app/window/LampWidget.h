#pragma once
// A status lamp: a small filled square with rounded corners.

#include "view/Lamp.h"

#include <QWidget>

namespace romwright {

class LampWidget : public QWidget {
    Q_OBJECT
public:
    explicit LampWidget(QWidget *parent = nullptr);

    void setLamp(Lamp lamp);
    Lamp lamp() const { return m_lamp; }
    // The fill, as 0x00BBGGRR.
    static QColor colour(Lamp lamp);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Lamp m_lamp = Lamp::Grey;
};

} // namespace romwright
