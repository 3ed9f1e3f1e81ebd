#pragma once
// An update's file while it downloads: a fresh file of this copy's own in the download folder,
// created exclusively (mode 0600, never through a link) and locked while it is held, so that no
// other process's bytes can take its place between the check and the rename that keeps it.

#include <QFile>
#include <QString>

#include <memory>

class PartialDownload
{
public:
    // A new file in folder, or nothing when it cannot be made.
    [[nodiscard]] static std::unique_ptr<PartialDownload> create(const QString &folder);
    // Removes the partial files in folder that no running copy holds: what a copy ended by a signal
    // left behind.
    static void removeStale(const QString &folder);

    // Removes the file unless it was kept.
    ~PartialDownload();
    PartialDownload(const PartialDownload &) = delete;
    PartialDownload &operator=(const PartialDownload &) = delete;

    // Where the bytes go as they arrive.
    [[nodiscard]] QFile &file() { return m_file; }
    // The open file itself, for a check on another thread; the caller closes it.
    [[nodiscard]] int duplicateHandle() const;
    // Puts the file, exactly as it is, in place of path; false when that failed or the file's name
    // no longer leads to this file.
    bool keepAs(const QString &path);

private:
    PartialDownload(int handle, QString path);
    [[nodiscard]] bool stillNamed() const;

    int m_handle;
    QString m_path;
    QFile m_file;
    bool m_kept = false;
};
