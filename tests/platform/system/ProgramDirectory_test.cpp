// The program's directory and the files in it; entries looked up while the program runs.

#include "platform/system/ProgramDirectory.h"
#include "platform/system/RuntimeEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(ProgramFiles, FoundWhateverTheirLetterCase)
{
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("DADOS/cadastros/AliqImpFis.CDS")));
    touch(dir.filePath(QStringLiteral("PARAMETROSQVN.CDS")));
    EXPECT_EQ(platform::findFileIgnoringCase(dir.path(), QStringLiteral("Dados\\Cadastros\\AliqImpFis.cds")),
              dir.filePath(QStringLiteral("DADOS/cadastros/AliqImpFis.CDS")));
    EXPECT_EQ(platform::findFileIgnoringCase(dir.path(), QStringLiteral("parametrosqvn.cds")),
              dir.filePath(QStringLiteral("PARAMETROSQVN.CDS")));
    EXPECT_EQ(platform::findFileIgnoringCase(dir.path(), QStringLiteral("PARAMETROSQVN.CDS")),
              dir.filePath(QStringLiteral("PARAMETROSQVN.CDS")));
    EXPECT_EQ(platform::findFileIgnoringCase(dir.path(), QStringLiteral("Dados/Cadastros/ControleAcess.cds")), QString());
    EXPECT_EQ(platform::findFileIgnoringCase(dir.filePath(QStringLiteral("nada")), QStringLiteral("x")), QString());
}

TEST(ProgramFiles, TheDirectoryIsTheExecutablesUnlessTheHostPointsItElsewhere)
{
    EXPECT_EQ(platform::programDirectory(), QCoreApplication::applicationDirPath());
    QTemporaryDir dir;
    platform::setProgramDirectory(dir.path() + QStringLiteral("/"));
    EXPECT_EQ(platform::programDirectory(), dir.path());
    platform::setProgramDirectory({});
    EXPECT_EQ(platform::programDirectory(), QCoreApplication::applicationDirPath());
}

TEST(RuntimeEntries, FoundByNameOrAbsent)
{
    EXPECT_NE(platform::findRuntimeEntry("strlen"), nullptr);  // the C library is always loaded
    EXPECT_EQ(platform::findRuntimeEntry("vak_no_such_entry"), nullptr);
    EXPECT_EQ(platform::findRuntimeEntry(nullptr), nullptr);
}

}  // namespace
