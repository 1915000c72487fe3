// zvkisp: the window.
//   zvkisp [--port DEVICE]    DEVICE (a path such as /dev/ttyUSB0 or /dev/pts/3, or COM1..COM8)
//                             is preselected in the serial port choice.
//   zvkisp --screenshot FILE  shows the window, saves a picture of it as FILE and ends.

#include "ui/frm_main.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zvkisp"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("In-system programming of 8051-compatible flash MCUs"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Serial device to preselect."),
                            QStringLiteral("DEVICE"));
    parser.addOption(port);
    QCommandLineOption shot(QStringLiteral("screenshot"), QStringLiteral("Save a picture of the window and quit."),
                            QStringLiteral("FILE"));
    parser.addOption(shot);
    parser.process(app);

    frmMain::Options options;
    options.port_device = parser.value(port);
    frmMain window(options);
    window.show();
    if (parser.isSet(shot)) {
        QTimer::singleShot(300, &window, [&] {
            const bool ok = window.grab().save(parser.value(shot));
            QApplication::exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
