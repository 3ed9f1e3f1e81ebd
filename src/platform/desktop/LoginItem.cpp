#include "LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace LoginItem {

QString entryPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/velmora.desktop");
}

bool isEnabled()
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A real entry is a few hundred bytes; the rest of a huge file is not read.
    return startsProgram(file.read(64 * 1024));
}

bool startsProgram(const QByteArray &entry)
{
    bool inMainGroup = false;
    for (const QByteArray &raw : entry.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inMainGroup || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        // The desktop's own startup settings switch an entry off with either key.
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

bool setEnabled(bool enabled)
{
    const QString path = entryPath();
    if (!enabled)
        return ::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT;
    const QByteArray text = entry(QCoreApplication::applicationFilePath());
    if (text.isEmpty() || !QDir().mkpath(QFileInfo(path).path()))
        return false;
    // Written to a fresh file beside the entry and renamed over it: a session starting meanwhile never
    // reads half an entry, and a link planted in the entry's place is replaced, never written through.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open() || file.write(text) != text.size() || !file.flush()
        || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther)
        || ::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    file.setAutoRemove(false);
    return true;
}

QByteArray entry(const QString &program)
{
    const QString exec = execValue(program);
    if (exec.isEmpty())
        return {};
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velmora\n"
           "Exec="
        + exec.toUtf8()
        + "\n"
          "Icon=velmora\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
}

QString execValue(const QString &program)
{
    if (program.isEmpty())
        return {};
    // Quoting first: inside double quotes, " ` $ \ take a backslash; a literal % is doubled.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        else if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    // Then the escapes of a string value, which a reader undoes before it unquotes.
    QString value;
    for (const QChar c : std::as_const(quoted)) {
        switch (c.unicode()) {
        case u'\\':
            value += QStringLiteral("\\\\");
            break;
        case u'\n':
            value += QStringLiteral("\\n");
            break;
        case u'\t':
            value += QStringLiteral("\\t");
            break;
        case u'\r':
            value += QStringLiteral("\\r");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                return {};
            value += c;
        }
    }
    return value;
}

} // namespace LoginItem
