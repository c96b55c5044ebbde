#pragma once
// A status lamp: a small filled square with rounded corners, its state also
// drawn as a mark (a tick for done, a cross for failed, a dot for not yet)
// and said in words to whatever reads the screen aloud.

#include "view/Lamp.h"

#include <QWidget>

namespace romwright {

class LampWidget : public QWidget {
    Q_OBJECT
public:
    explicit LampWidget(QWidget *parent = nullptr);

    // The label beside the lamp: its accessible name.
    void setCaption(const QString &caption);
    void setLamp(Lamp lamp);
    Lamp lamp() const { return m_lamp; }
    // While set, the colour beats with the work (each block sent) and stands
    // for no outcome: the mark says "in progress".
    void setBlinking(bool blinking);
    // "done", "failed", "not yet done" or "in progress".
    QString stateText() const;
    // The fill, as 0x00BBGGRR.
    static QColor colour(Lamp lamp);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void describe();

    Lamp m_lamp = Lamp::Grey;
    bool m_blinking = false;
    QString m_caption;
};

} // namespace romwright
