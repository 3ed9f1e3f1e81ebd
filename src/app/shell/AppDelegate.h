#pragma once
// Starts the application: the updater, crash reporting and the desktop's hand-overs (window icon,
// opening addresses) before the window, then the long-lived objects once, then the window with them.

class ContentViewModel;
class QQmlApplicationEngine;
class Services;
class Updater;

namespace AppDelegate {

// Everything that has to be in place before the window opens. Needs the QGuiApplication.
void willFinishLaunching();

// Loads the window into engine with the root model, the services and the updater; false when it fails.
bool openWindow(QQmlApplicationEngine &engine, ContentViewModel &vm, Services &services, Updater &updater);

// The process's whole life; returns the exit code.
int run(int argc, char *argv[]);

} // namespace AppDelegate
