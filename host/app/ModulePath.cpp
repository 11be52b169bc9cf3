#include "host/app/ModulePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pdvhost {

QString modulePath()
{
    const QString name = QStringLiteral("/libVak04100.so");
    const QString beside = QCoreApplication::applicationDirPath() + name;
#ifdef VAK_MODULE_RELDIR
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/" VAK_MODULE_RELDIR)) + name;
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
        return installed;
#endif
    return beside;
}

}  // namespace pdvhost
