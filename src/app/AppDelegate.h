#pragma once
// Starts the application: makes the long-lived objects once, opens the window with them, runs the
// event loop.

namespace AppDelegate {

// The process's whole life; returns the exit code.
int run(int argc, char *argv[]);

} // namespace AppDelegate
