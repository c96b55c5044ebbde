#include "app/FrontEnds.h"
#include "app/gui/MainWindow.h"

#include <QApplication>

namespace romwright {

int runWindow(int &argc, char **argv)
{
    QApplication app(argc, argv);
    MainWindow window;
    window.centre();
    window.show();
    return app.exec();
}

} // namespace romwright
