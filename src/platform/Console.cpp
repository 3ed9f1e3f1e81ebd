#include "Console.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace {

QMutex &consoleMutex()
{
    static QMutex mutex;
    return mutex;
}

// Lines kept for the active capture; null when nothing captures.
QStringList *g_captured = nullptr;

} // namespace

namespace Console {

void print(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    QMutexLocker lock(&consoleMutex());
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    if (g_captured)
        g_captured->append(line);
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
