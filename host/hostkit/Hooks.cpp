// The connection string: set by the host, stored beside the program, or the demo shop's.

#include "HostkitInternal.h"

#include "platform/system/ProgramDirectory.h"
#include "platform/dataset/RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>

namespace hostkit {

namespace {

struct HookState {
    QMutex mutex;
    QString connectionString;
};

HookState& hooks()
{
    static HookState s;
    return s;
}

const QString kConnectionFile = QStringLiteral("Dados/StringConexao.txt");

}  // namespace

void setStringConexQvn(const QString& connectionString)
{
    QMutexLocker lock(&hooks().mutex);
    hooks().connectionString = connectionString;
}

void saveStringConexQvn(const QString& hostDir, const QString& connectionString)
{
    const QString path = QDir(hostDir).filePath(kConnectionFile);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw platform::HostError(QStringLiteral("Não foi possível criar a pasta de %1").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw platform::HostError(QStringLiteral("Não foi possível gravar %1: %2").arg(path, file.errorString()));
    file.write(Cripto(connectionString, kChaveStringConexao).toLatin1() + '\n');
    if (!file.commit())
        throw platform::HostError(QStringLiteral("Não foi possível gravar %1: %2").arg(path, file.errorString()));
}

QString GetStringConexQvn(const QString& chave)
{
    Q_UNUSED(chave);
    {
        QMutexLocker lock(&hooks().mutex);
        if (!hooks().connectionString.isEmpty())
            return hooks().connectionString;
    }
    const QString dir = platform::programDirectory();
    const QString stored = platform::findFileIgnoringCase(dir, kConnectionFile);
    if (!stored.isEmpty()) {
        // A line of text in a regular file: a FIFO or a device put in its place is refused
        // instead of blocking or being read without end.
        constexpr qint64 kCeiling = 1 << 16;
        const platform::RegularFile file = platform::readRegularFile(stored, kCeiling);
        if (!file.read())
            throw platform::HostError(QStringLiteral("Não foi possível ler %1: %2")
                                          .arg(stored, file.outcome == platform::RegularFile::Outcome::TooLarge
                                                           ? QStringLiteral("mais de %1 bytes").arg(kCeiling)
                                                           : file.why));
        const qsizetype end = file.bytes.indexOf('\n');
        const QString line = QString::fromLatin1(end < 0 ? file.bytes : file.bytes.left(end)).trimmed();
        if (!line.isEmpty()) {
            try {
                return Uncripto(line, kChaveStringConexao);
            } catch (const platform::HostError& e) {
                throw platform::HostError(QStringLiteral("String de conexão inválida em %1: %2").arg(stored, e.text()));
            }
        }
    }
    // The demo shop beside the host: an existing file under any letter case, else the
    // canonical name (SQLite creates it on first use).
    QString db = platform::findFileIgnoringCase(dir, QStringLiteral("Dados/loja.db"));
    if (db.isEmpty())
        db = dir + QStringLiteral("/Dados/loja.db");
    if (db.contains(QLatin1Char(';')))
        db = QLatin1Char('"') + db + QLatin1Char('"');
    return QStringLiteral("Provider=SQLite;Data Source=") + db;
}

}  // namespace hostkit
