#include "app/FrontEnds.h"

#include <QApplication>
#include <QMessageBox>

namespace romwright {

int runWindow(int &argc, char **argv)
{
    QApplication app(argc, argv);
    QMessageBox::information(nullptr, QStringLiteral("Romwright"), QStringLiteral("The window is not built yet."));
    return 0;
}

} // namespace romwright
