#include "shell/krt418.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("krt418"));
    QApplication::setApplicationDisplayName(QStringLiteral("KRT 418 controller"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/krt418/timer-device.svg")));
    KRT418 window;
    window.show();
    return app.exec();
}
