#pragma once
// The program from start to end, so that app/main.cpp only calls it and a
// test program can run the very same start-up and shut-down.

#include <functional>

class KRT418;

namespace krt {

// Names the application for the desktop and registers how the data window
// opens its dialogs. No display name is set: the window
// system would append it to every title bar, which must read exactly the
// windows' captions.
void setUpApplication();

// Runs the program and returns its exit status. Every way out (Quit, the last
// window closed, SIGTERM, SIGINT, SIGHUP) ends the event loop, and the data
// window is then destroyed, which closes the port and releases its lock file.
// `started`, when given, runs once the main window is shown.
int runProgram(int argc, char* argv[], const std::function<void(KRT418&)>& started = {});

} // namespace krt
