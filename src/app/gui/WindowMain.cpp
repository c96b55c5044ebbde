#include "app/FrontEnds.h"
#include "app/gui/MainWindow.h"

#include <QApplication>
#include <QIcon>

namespace romwright {

int runWindow(int &argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/romwright-48.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("romwright"));
    MainWindow window;
    window.centre();
    window.show();
    return app.exec();
}

} // namespace romwright
