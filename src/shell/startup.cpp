#include "shell/startup.h"

#include "datawindow/rddata.h"
#include "datawindow/recordwindow.h"
#include "dialogs/openers.h"
#include "platform/endrequests.h"
#include "session/options.h"
#include "shell/krt418.h"

#include <QApplication>
#include <QIcon>

#include <memory>

namespace krt {

void setUpApplication() {
    registerDialogOpeners();
    QApplication::setApplicationName(QStringLiteral("krt418"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/krt418/timer-device.svg")));
}

int runProgram(int argc, char* argv[], const std::function<void(KRT418&)>& started) {
    QCoreApplication::setOrganizationName(QStringLiteral("krt418"));
    QCoreApplication::setApplicationName(QStringLiteral("krt418"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KRT418_VERSION));
    krt::Options options;
    {
        // The options are read before any window (or display) is needed, so
        // --help and --list-ports answer on a terminal without a desktop.
        // They are the system's bytes, read before Qt takes any of them.
        QByteArrayList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QByteArray(argv[i]);
        QCoreApplication core(argc, argv);
        auto read = readOptions(arguments);
        if (const int* status = std::get_if<int>(&read)) return *status;
        options = std::get<krt::Options>(std::move(read));
    }
    QApplication app(argc, argv);
    setUpApplication();

    // The requests to end from outside (signals, a console's Ctrl+C) become
    // an event-loop exit, so the clean-up after exec() runs for them as for
    // Quit. exit(), not quit(): no window may refuse, and a file dialog's own
    // loop ends with it.
    const std::unique_ptr<QObject> stop =
        platform::catchEndRequests([] { QCoreApplication::exit(0); });

    int status = 0;
    {
        KRT418 window(options);
        window.show();
        for (const QString& record : options.records)
            RecordWindow::open(record);
        if (started) started(window);
        status = app.exec();
        // Quit leaves the data window loaded: destroying it closes the port.
        delete RDData::existing();
        // And the past sessions still shown.
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<RecordWindow*>(top)) delete top;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return status;
}

} // namespace krt
