#include "platform/system/ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>

namespace platform {

namespace {

struct Directory {
    QMutex mutex;
    QString chosen;
};

Directory& directory()
{
    static Directory d;
    return d;
}

QString withoutTrailingSeparator(QString dir)
{
    while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
        dir.chop(1);
    return dir;
}

QString executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Without an application object: the running executable's own path.
    const QString target = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return target.isEmpty() ? QDir::currentPath() : QFileInfo(target).absolutePath();
}

}  // namespace

QString programDirectory()
{
    {
        QMutexLocker lock(&directory().mutex);
        if (!directory().chosen.isEmpty())
            return directory().chosen;
    }
    return withoutTrailingSeparator(executableDirectory());
}

void setProgramDirectory(const QString& dir)
{
    QMutexLocker lock(&directory().mutex);
    directory().chosen = dir.isEmpty() ? QString() : withoutTrailingSeparator(QDir(dir).absolutePath());
}

QString findFileIgnoringCase(const QString& dir, const QString& relativePath)
{
    QString rel = relativePath;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = dir.isEmpty() ? QStringLiteral(".") : dir;
    if (!QFileInfo(current).isDir())
        return {};
    for (const QString& part : parts) {
        if (part == QLatin1String("."))
            continue;
        const QString exact = current + QLatin1Char('/') + part;
        if (QFileInfo::exists(exact)) {
            current = exact;
            continue;
        }
        // Several names differing only in case: the sorted first one wins, every time.
        const QStringList entries =
            QDir(current).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        QString found;
        for (const QString& e : entries)
            if (e.compare(part, Qt::CaseInsensitive) == 0) {
                found = e;
                break;
            }
        if (found.isEmpty())
            return {};
        current += QLatin1Char('/') + found;
    }
    return QFileInfo::exists(current) ? current : QString();
}

}  // namespace platform
