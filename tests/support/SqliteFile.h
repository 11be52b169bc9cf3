#pragma once
// A SQLite database file for a test. Connections open existing files only; an empty file
// is an empty database, so the test creates it first, as shopgen does for a shop.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

inline QString sqliteFile(const QString& dir, const QString& name = QStringLiteral("test.db"))
{
    const QString path = QDir(dir).filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.exists())
        file.open(QIODevice::WriteOnly);
    return path;
}
