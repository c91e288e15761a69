#include "shell/krt418.h"
#include "shell/options.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QCoreApplication::setOrganizationName(QStringLiteral("krt418"));
    QCoreApplication::setApplicationName(QStringLiteral("krt418"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KRT418_VERSION));
    {
        // The options are read before any window (or display) is needed, so
        // --help and --list-ports answer on a terminal without a desktop.
        QCoreApplication options(argc, argv);
        if (const auto status = krt::handleCommandLine(QCoreApplication::arguments()))
            return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("KRT 418 controller"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/krt418/timer-device.svg")));
    KRT418 window;
    window.show();
    return app.exec();
}
