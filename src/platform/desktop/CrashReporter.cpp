#include "CrashReporter.h"

#include "Configuration.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <memory>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr std::array fatalSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};

// Everything the handler writes is prepared here: it may only call async-signal-safe functions.
struct Prepared
{
    char path[4096] = {};
    char header[512] = {};
};
Prepared prepared;

// Room for the handler when the crash is a stack overflow.
constexpr size_t alternateStackSize = 64 * 1024;

// The thread that crashed first; 0 until one did.
std::atomic<pid_t> crashedThread{0};

// A thread's own alternate stack, given back as the thread ends; a thread that has one already
// (a sanitizer's) keeps it.
class AlternateStack
{
public:
    AlternateStack()
    {
        stack_t current{};
        if (sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE))
            return;
        m_memory = std::make_unique<char[]>(alternateStackSize);
        stack_t stack{};
        stack.ss_sp = m_memory.get();
        stack.ss_size = alternateStackSize;
        sigaltstack(&stack, nullptr);
    }
    ~AlternateStack()
    {
        if (!m_memory)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    }
    AlternateStack(const AlternateStack &) = delete;
    AlternateStack &operator=(const AlternateStack &) = delete;

private:
    std::unique_ptr<char[]> m_memory;
};

const char *signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV (invalid memory access)";
    case SIGBUS:
        return "SIGBUS (bus error)";
    case SIGILL:
        return "SIGILL (illegal instruction)";
    case SIGFPE:
        return "SIGFPE (arithmetic error)";
    case SIGABRT:
        return "SIGABRT (aborted)";
    case SIGTRAP:
        return "SIGTRAP (trap)";
    case SIGSYS:
        return "SIGSYS (bad system call)";
    default:
        return "unknown signal";
    }
}

void writeText(int fd, const char *text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(fd, text, left);
        if (written <= 0)
            return;
        text += written;
        left -= size_t(written);
    }
}

void copyInto(char *target, size_t size, const QByteArray &text)
{
    const size_t length = std::min(size - 1, size_t(text.size()));
    std::memcpy(target, text.constData(), length);
    target[length] = '\0';
}

void onFatalSignal(int signal)
{
    const pid_t self = pid_t(::syscall(SYS_gettid));
    pid_t none = 0;
    if (!crashedThread.compare_exchange_strong(none, self) && none != self) {
        // Another thread is writing the report and then ends the process; this one waits for that.
        for (;;)
            ::pause();
    }
    const int saved = errno;
    // A file of its own: never one that is there already, nor a link.
    const int fd = ::open(prepared.path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        writeText(fd, prepared.header);
        writeText(fd, "Signal: ");
        writeText(fd, signalName(signal));
        writeText(fd, "\nBacktrace:\n");
        void *frames[64];
        backtrace_symbols_fd(frames, backtrace(frames, 64), fd);
        ::close(fd);
        writeText(STDERR_FILENO, "Velmora crashed; report: ");
        writeText(STDERR_FILENO, prepared.path);
        writeText(STDERR_FILENO, "\n");
    }
    errno = saved;
    // Raised again with the default action, the signal ends the process the default way as soon as
    // the handler returns.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

namespace CrashReporter {

QString reportFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Velmora/crashes");
}

void configure()
{
    const QString folder = reportFolder();
    if (!QDir().mkpath(folder))
        return;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QDateTime started = QDateTime::currentDateTimeUtc();
    const qint64 pid = ::getpid();
    const QString path = QStringLiteral("%1/%2-%3.txt")
                             .arg(folder, started.toString(QStringLiteral("yyyyMMdd-HHmmss")))
                             .arg(pid);
    copyInto(prepared.path, sizeof prepared.path, QFile::encodeName(path));
    copyInto(prepared.header, sizeof prepared.header,
             QStringLiteral("Velmora %1 crashed\nProcess: %2, started %3\n")
                 .arg(Configuration::appVersion())
                 .arg(pid)
                 .arg(started.toString(Qt::ISODate))
                 .toUtf8());

    // The first backtrace loads the unwinder; that must not happen inside the handler.
    void *frame[1];
    backtrace(frame, 1);

    prepareThread();

    struct sigaction action
    {
    };
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal : fatalSignals)
        sigaction(signal, &action, nullptr);
}

void prepareThread()
{
    static thread_local const AlternateStack stack;
    Q_UNUSED(stack);
}

} // namespace CrashReporter
