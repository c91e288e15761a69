#pragma once
// The requests to end the program that come from outside it: SIGINT, SIGTERM
// and SIGHUP on POSIX systems; Ctrl+C, Ctrl+Break and the closing of its
// console on Windows. Each becomes a call on the event loop's thread, where
// the program can end as it does for Quit.

#include <QObject>

#include <functional>
#include <memory>

namespace platform {

// Calls `end` on the event loop's thread for every such request while the
// returned object lives. Null when they cannot be caught: the system then
// ends the program as it would any other.
std::unique_ptr<QObject> catchEndRequests(std::function<void()> end);

} // namespace platform
