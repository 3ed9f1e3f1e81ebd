#pragma once
// The application's console: plain lines on standard output with fixed prefixes, no levels.
// Tests install a capture to read the lines that were written.

#include <QString>
#include <QStringList>

namespace Console {

// Writes one line (a line feed is added) from any thread. Whatever would break the line or change
// how it reads (control characters, line separators, bidirectional controls) is written escaped,
// as \n, \r, \t or \u{hex}, and a backslash as \\, so a value from outside cannot forge lines.
void print(const QString &line);
// Writes an entry of several lines at once, each escaped as print() does; a capture keeps it as
// one entry, its lines joined by line feeds.
void printLines(const QStringList &lines);

// While alive, every printed entry is also kept here (and still written to standard output).
class Capture
{
public:
    Capture();
    ~Capture();
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;

    [[nodiscard]] QStringList lines() const;
    void clear();
};

} // namespace Console
