#include "app/window/help/DialogHelp.h"

#include "help/HelpMenu.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>

namespace romwright {

DialogHelp::DialogHelp(OpenPage open, QObject *parent) : QObject(parent), m_open(std::move(open))
{
    QCoreApplication::instance()->installEventFilter(this);
}

DialogHelp::~DialogHelp()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool DialogHelp::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return false;
    // A dialog's own window: the help viewer and the main window are none.
    QWidget *window = static_cast<QWidget *>(watched)->window();
    if (!qobject_cast<QDialog *>(window))
        return false;
    if (m_open)
        m_open(dialogHelpPage(window->windowTitle()), WindowHandle(window->winId()));
    return true;
}

} // namespace romwright
