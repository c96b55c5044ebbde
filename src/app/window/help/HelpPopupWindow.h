#pragma once
// A text pop-up of the help: a small framed note at a screen position that
// closes on the next click or key.

#include <QFrame>
#include <cstdint>

class QLabel;

namespace romwright {

class HelpPopupWindow : public QFrame {
    Q_OBJECT
public:
    // font is "face, size, charset, styles", e.g. "Arial, 10, ascii, Bold Italic ".
    // Colours are 0x00BBGGRR; a pair of equal colours (nothing chosen) takes the
    // system's tool-tip colours. Negative margins take the default.
    HelpPopupWindow(const QString &text, const QString &font, std::uint32_t foreground,
                    std::uint32_t background, const QMargins &margins, QWidget *parent = nullptr);

    QString text() const;
    static QFont fontFromDescription(const QString &description);

private:
    QLabel *m_label;
};

} // namespace romwright
