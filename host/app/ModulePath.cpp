#include "host/app/ModulePath.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace pdvhost {

QString modulePath()
{
    const QString name = QStringLiteral("/libVak04100.so");
    const QString beside = QCoreApplication::applicationDirPath() + name;
#ifdef VAK_MODULE_DIR
    const QString installed = QStringLiteral(VAK_MODULE_DIR) + name;
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
        return installed;
#endif
    return beside;
}

}  // namespace pdvhost
