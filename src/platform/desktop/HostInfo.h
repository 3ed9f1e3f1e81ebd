#pragma once
// Host and process information: the device's name, the kernel version, a stable machine serial
// and the user's preferred language.

#include <QString>

#include <optional>

class HostInfo
{
public:
    HostInfo() = delete;

    // The pretty host name, else the host name, else "Unknown Device".
    [[nodiscard]] static QString deviceName();
    // The running kernel's release as three numbers, e.g. "6.1.0".
    [[nodiscard]] static QString systemVersion();
    // The first three numbers of a kernel release ("6.1.0-28-amd64" gives "6.1.0"); missing ones are 0.
    [[nodiscard]] static QString systemVersion(const QString &kernelRelease);
    // The DMI product serial when readable and real, else the systemd machine id; none without both.
    [[nodiscard]] static std::optional<QString> machineSerial();
    // The first of the user's interface languages, e.g. "en-GB".
    [[nodiscard]] static QString preferredLanguage();

    // The directory the system files are read under ("/" normally); tests give a tree of their own.
    static void setFileSystemRoot(const QString &root);
};
