#pragma once
// What a check for updates or an update's download ends in, as the user is told: up to date, a
// newer release to download, a release downloaded and verified, or what went wrong.

#include <QString>
#include <QUrl>

struct UpdateOutcome
{
    enum class Kind { UpToDate, Available, Downloaded, Failed };

    Kind kind = Kind::UpToDate;
    QString runningVersion;
    QString newVersion; // the release's version for people (Available, Downloaded)
    QUrl downloadUrl; // Available: an http(s) address with a host
    QString filePath; // Downloaded: the verified file
    QString message; // Failed: in words for the user
};
