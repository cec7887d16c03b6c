#include "window/frmNetScp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Netroscope"));
    frmNetScp window;
    window.show();
    return app.exec();
}
