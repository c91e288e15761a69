// The program's own start-up and shut-down with the data window opened at
// once, for tst_shell to end from outside. It prints "ready" when the port is
// open; a line "quit" on stdin presses "Quit", "close" closes the main window
// and then the data window, the last one.

#include "datawindow/rddata.h"
#include "link/serialportcomponent.h"
#include "shell/krt418.h"
#include "shell/startup.h"

#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    return krt::runProgram(argc, argv, [](KRT418& window) {
        window.Command1->click();
        std::printf("%s\n", RDData::existing()->MSComm1->portOpen() ? "ready" : "no port");
        std::fflush(stdout);
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &window);
        QObject::connect(input, &QSocketNotifier::activated, &window, [&window, input] {
            char line[64] = {};
            const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
            if (n <= 0) {
                input->setEnabled(false);
            } else if (QByteArray(line).startsWith("quit")) {
                window.Command3->click();
            } else if (QByteArray(line).startsWith("close")) {
                window.close();
                RDData::existing()->close();
            }
        });
    });
}
