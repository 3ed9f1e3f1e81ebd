#pragma once
// Crash reports kept on this machine: on a fatal signal a short report (signal, backtrace) is written
// under $XDG_STATE_HOME/Velmora/crashes, then the signal takes its default course (core dump and all).
// When threads crash at once, the first one's report is the one written.

#include <QString>

namespace CrashReporter {

// Installs the fatal-signal handlers; call once on the main thread before the window opens.
void configure();

// Gives the calling thread a stack of its own for the handler, so that a stack overflow on it still
// leaves a report; done once per thread, and undone as it ends. Every thread that runs the
// application's work calls it.
void prepareThread();

// The folder that holds the reports.
[[nodiscard]] QString reportFolder();

} // namespace CrashReporter
