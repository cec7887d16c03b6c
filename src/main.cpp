#include "probes/SystemProbes.h"
#include "store/HistoryLog.h"
#include "window/FileDialogs.h"
#include "window/MessageBoxes.h"
#include "window/frmNetScp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::Literals::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Netroscope"_s);
    QApplication::setApplicationVersion(QString::number(NETROSCOPE_VERSION_MAJOR) + u'.' +
                                        QString::number(NETROSCOPE_VERSION_MINOR));

    // The window speaks Japanese, so Qt's own buttons and dialogs should too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), u"qtbase"_s, u"_"_s,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    SystemMessageBoxes boxes;
    SystemFileDialogs dialogs;
    WindowServices services;
    services.probes = std::make_shared<SystemProbes>();
    services.boxes = &boxes;
    services.dialogs = &dialogs;
    services.programDirectory = QCoreApplication::applicationDirPath();
    services.historyLogPath = historyLogPath();

    frmNetScp window(services);
    QObject::connect(&window, &frmNetScp::loaded, &window, &QWidget::show);
    if (!window.Form_Load())
        return 1;
    return app.exec();
}
