#pragma once
// Starts the application: crash reporting and the desktop's hand-overs (window icon, opening
// addresses) before the window, then the long-lived objects once, then the window with them.

class ContentViewModel;
class QQmlApplicationEngine;
class Services;

namespace AppDelegate {

// Everything that has to be in place before the window opens. Needs the QGuiApplication.
void willFinishLaunching();

// Loads the window into engine with the root model and the services; false when it fails.
bool openWindow(QQmlApplicationEngine &engine, ContentViewModel &vm, Services &services);

// The process's whole life; returns the exit code.
int run(int argc, char *argv[]);

} // namespace AppDelegate
