#include "PartialDownload.h"

#include <QDir>

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString prefix = QStringLiteral("Velmora-update-");
const QString suffix = QStringLiteral(".part");

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::unique_ptr<PartialDownload> PartialDownload::create(const QString &folder)
{
    QByteArray name = QFile::encodeName(QDir(folder).filePath(prefix + QStringLiteral("XXXXXX") + suffix));
    // O_CREAT | O_EXCL, mode 0600: a planted link or file of that name is never opened.
    const int handle = ::mkostemps(name.data(), int(suffix.size()), O_CLOEXEC);
    if (handle < 0)
        return nullptr;
    std::unique_ptr<PartialDownload> download(new PartialDownload(handle, QFile::decodeName(name)));
    // Between the file's making and its lock another copy's clean-up may have taken it away.
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0 || !download->stillNamed()
        || !download->m_file.open(handle, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return nullptr;
    return download;
}

void PartialDownload::removeStale(const QString &folder)
{
    const QStringList names = QDir(folder).entryList({prefix + u'*' + suffix}, QDir::Files | QDir::System);
    for (const QString &name : names) {
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
        const int handle = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (handle < 0)
            continue;
        struct stat opened
        {
        };
        struct stat named
        {
        };
        // Held by a running copy when its lock is taken; removed only while the name is this file.
        if (::flock(handle, LOCK_EX | LOCK_NB) == 0 && ::fstat(handle, &opened) == 0
            && S_ISREG(opened.st_mode) && ::lstat(path.constData(), &named) == 0 && sameFile(opened, named))
            ::unlink(path.constData());
        ::close(handle);
    }
}

PartialDownload::PartialDownload(int handle, QString path)
    : m_handle(handle)
    , m_path(std::move(path))
{
}

PartialDownload::~PartialDownload()
{
    m_file.close();
    if (!m_kept && stillNamed())
        ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_handle);
}

int PartialDownload::duplicateHandle() const
{
    return ::fcntl(m_handle, F_DUPFD_CLOEXEC, 0);
}

bool PartialDownload::keepAs(const QString &path)
{
    m_file.flush();
    if (!stillNamed()
        || ::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    m_kept = true;
    return true;
}

bool PartialDownload::stillNamed() const
{
    struct stat opened
    {
    };
    struct stat named
    {
    };
    return ::fstat(m_handle, &opened) == 0 && ::lstat(QFile::encodeName(m_path).constData(), &named) == 0
        && sameFile(opened, named);
}
