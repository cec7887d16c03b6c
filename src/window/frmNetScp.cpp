#include "window/frmNetScp.h"

frmNetScp::frmNetScp(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Netroscope"));
}
