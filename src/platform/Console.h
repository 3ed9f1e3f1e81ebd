#pragma once
// The application's console: plain lines on standard output with fixed prefixes, no levels.
// Tests install a capture to read the lines that were written.

#include <QString>
#include <QStringList>

namespace Console {

// Writes one line (a line feed is added) from any thread.
void print(const QString &line);

// While alive, every printed line is also kept here (and still written to standard output).
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
