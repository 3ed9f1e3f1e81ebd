#include "Console.h"

#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cstdio>

namespace {

QMutex &consoleMutex()
{
    static QMutex mutex;
    return mutex;
}

// Lines kept for the active capture; null when nothing captures.
QStringList *g_captured = nullptr;

bool needsEscape(char16_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        break;
    }
    // The backslash keeps the escapes unambiguous. Bidirectional marks, embeddings, overrides and
    // isolates make a line read other than it is.
    return c == u'\\' || c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

QString escaped(const QString &line)
{
    if (std::none_of(line.cbegin(), line.cend(), [](QChar c) { return needsEscape(c.unicode()); }))
        return line;
    QString out;
    out.reserve(line.size() + 8);
    for (const QChar c : line) {
        switch (c.unicode()) {
        case u'\n':
            out += QLatin1StringView("\\n");
            break;
        case u'\r':
            out += QLatin1StringView("\\r");
            break;
        case u'\t':
            out += QLatin1StringView("\\t");
            break;
        case u'\\':
            out += QLatin1StringView("\\\\");
            break;
        default:
            if (needsEscape(c.unicode()))
                out += QLatin1StringView("\\u{") + QString::number(c.unicode(), 16).toUpper() + u'}';
            else
                out += c;
        }
    }
    return out;
}

void write(const QStringList &lines)
{
    const QString entry = lines.join(u'\n');
    const QByteArray bytes = entry.toUtf8() + '\n';
    QMutexLocker lock(&consoleMutex());
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    if (g_captured)
        g_captured->append(entry);
}

} // namespace

namespace Console {

void print(const QString &line)
{
    write({escaped(line)});
}

void printLines(const QStringList &lines)
{
    QStringList escapedLines;
    escapedLines.reserve(lines.size());
    for (const QString &line : lines)
        escapedLines.append(escaped(line));
    write(escapedLines);
}

Capture::Capture()
{
    QMutexLocker lock(&consoleMutex());
    Q_ASSERT(!g_captured);
    g_captured = new QStringList;
}

Capture::~Capture()
{
    QMutexLocker lock(&consoleMutex());
    delete g_captured;
    g_captured = nullptr;
}

QStringList Capture::lines() const
{
    QMutexLocker lock(&consoleMutex());
    return *g_captured;
}

void Capture::clear()
{
    QMutexLocker lock(&consoleMutex());
    g_captured->clear();
}

} // namespace Console
