#pragma once
// Crash reports kept on this machine: on a fatal signal a short report (signal, backtrace) is written
// under $XDG_STATE_HOME/Velmora/crashes, then the signal takes its default course (core dump and all).

#include <QString>

namespace CrashReporter {

// Installs the fatal-signal handlers; call once on the main thread before the window opens.
void configure();

// The folder that holds the reports.
[[nodiscard]] QString reportFolder();

} // namespace CrashReporter
