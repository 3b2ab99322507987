#include "app/form1.h"
#include "app/qtplatform.h"
#include "app/sessionend.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qadrill"));
    QApplication::setDesktopFileName(QStringLiteral("qadrill"));

    QtPlatform platform;
    Form1 form(platform);
    // A session that ends (log-out, shut-down, the terminal closed) ends the run as "quit program" does, so that what
    // is in the answer box is kept first.
    SessionEnd sessionEnd([&form] { form.endOnSessionEnd(); });
    // The start-up boxes come and go before the window is shown; closing them must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!form.load()) {
        return 0;
    }
    QApplication::setQuitOnLastWindowClosed(true);
    form.show();
    return QApplication::exec();
}
