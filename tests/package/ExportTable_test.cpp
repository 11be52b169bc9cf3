// The module's export table as a host finds it: exactly the entry, the loader entries,
// the unit table, the module-level variables and the data-service functions, each
// under the names a host looks it up by; and the loader entries running the units in
// the table's order.

#include "ModuleLibrary.h"
#include "hostapi/PublishedContract.h"
#include "package/Pkg_Vak04100.h"
#include "platform/dataset/DataPacket.h"

#include <QImage>
#include <QMetaType>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using testsupport::ModuleLibrary;

const QStringList kDataService = {"GetConsumidor", "GetSaldoConsCamp", "GetBrinde", "SetGravaCupomInicial",
                                  "GetSenhaCupom", "getNumeroNFCe",    "setNumeroNFCe"};

QSet<QString> expectedExports()
{
    QSet<QString> names = {"CriaFidelidade",
                           "Cli_Vak04100.CriaFidelidade",
                           "Initialize",
                           "Finalize",
                           "GetPackageInfoTable",
                           "PackageUnits",
                           "frmFidelidade",
                           "rdmFidelidade",
                           "Srv_Vak04100_CriaModuloDados",
                           "Srv_Vak04100_LiberaModuloDados"};
    for (const QString& function : kDataService)
        names << function << QStringLiteral("Srv_Vak04100.") + function;
    return names;
}

class ExportTable : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.loaded()) << module.error().toStdString(); }
    ModuleLibrary module;
};

TEST_F(ExportTable, EveryNameAHostLooksUpIsFound)
{
    for (const QString& name : expectedExports())
        EXPECT_NE(module.symbol(name.toLatin1().constData()), nullptr) << name.toStdString();
}

TEST_F(ExportTable, BothNamesOfAFunctionAreTheSameFunction)
{
    EXPECT_EQ(module.symbol("Cli_Vak04100.CriaFidelidade"), module.symbol("CriaFidelidade"));
    for (const QString& function : kDataService) {
        const QByteArray plain = function.toLatin1();
        EXPECT_EQ(module.symbol(("Srv_Vak04100." + plain).constData()), module.symbol(plain.constData()))
            << plain.constData();
        // The C++ name stays inside the module.
        EXPECT_EQ(module.symbol(("Srv_Vak04100_" + plain).constData()), nullptr) << plain.constData();
    }
}

TEST_F(ExportTable, NothingElseIsExported)
{
    // What the dynamic symbol table defines, as the system's own tool lists it.
    const QString nm = QStandardPaths::findExecutable(QStringLiteral("nm"));
    if (nm.isEmpty())
        GTEST_SKIP() << "nm is not installed";
    QProcess process;
    process.start(nm, {QStringLiteral("-D"), QStringLiteral("--defined-only"), QString::fromLocal8Bit(module.path())});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QSet<QString> defined;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> columns = line.simplified().split(' ');
        if (columns.size() == 3)
            defined << QString::fromLatin1(columns[2]);
    }
    EXPECT_EQ(defined, expectedExports());
    // And names of the module's code are not found by dlsym either.
    EXPECT_EQ(module.symbol("_ZN12Srv_Vak0410013rdmFidelidadeE"), nullptr);
    EXPECT_EQ(module.symbol("criaFidelidadeQualificada"), nullptr);
}

// What the module takes from the host libraries is their published contract and nothing
// more: a host whose libraries offer only that loads it (anything else would be an
// undefined symbol at load time). Of a component, only its published members.
namespace {

// The identifier (a destructor's "~" included) that starts at `from` in a demangled name.
QString identifierAt(const QString& text, int from)
{
    int end = from;
    if (end < text.size() && text.at(end) == QLatin1Char('~'))
        ++end;
    while (end < text.size() && (text.at(end).isLetterOrNumber() || text.at(end) == QLatin1Char('_')))
        ++end;
    return text.mid(from, end - from);
}

}  // namespace

TEST_F(ExportTable, ImportsFromTheHostLibrariesAreThePublishedContractOnly)
{
    const QString nm = QStandardPaths::findExecutable(QStringLiteral("nm"));
    if (nm.isEmpty())
        GTEST_SKIP() << "nm is not installed";
    QProcess process;
    process.start(nm, {QStringLiteral("-D"), QStringLiteral("--undefined-only"), QStringLiteral("-C"),
                       QString::fromLocal8Bit(module.path())});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QSet<QString> imported, members;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        QString symbol = QString::fromLatin1(line).trimmed();
        if (!symbol.startsWith(QLatin1String("U ")))
            continue;
        symbol = symbol.mid(2);
        for (const char* prefix : {"vtable for ", "typeinfo for ", "typeinfo name for ", "non-virtual thunk to "})
            if (symbol.startsWith(QLatin1String(prefix)))
                symbol = symbol.mid(int(qstrlen(prefix)));
        for (const char* lib : {"hostkit", "fiscaldev", "possvc"}) {
            const QString scope = QLatin1String(lib) + QStringLiteral("::");
            if (!symbol.startsWith(scope))
                continue;
            const QString rest = symbol.mid(scope.size());
            const QString name = identifierAt(rest, 0);
            EXPECT_TRUE(hostapi::contract::isPublished(QLatin1String(lib), name)) << symbol.toStdString();
            imported << scope + name;
            if (rest.mid(name.size()).startsWith(QLatin1String("::"))) {
                const QString member = identifierAt(rest, name.size() + 2);
                EXPECT_TRUE(hostapi::contract::publishedMembers(name).contains(member)) << symbol.toStdString();
                members << name + QStringLiteral("::") + member;
            }
        }
    }
    QStringList list(imported.begin(), imported.end());
    list.sort();
    std::printf("[ figures ] host-library names the module imports: %s\n", qPrintable(list.join(QStringLiteral(", "))));
    QStringList memberList(members.begin(), members.end());
    memberList.sort();
    std::printf("[ figures ] component members it uses: %s\n", qPrintable(memberList.join(QStringLiteral(", "))));
    EXPECT_TRUE(imported.contains(QStringLiteral("hostkit::Mensagem")));  // the listing was read
    EXPECT_TRUE(members.contains(QStringLiteral("TdtmQvnProxCodigo::PrxVendaDia")));
}

TEST_F(ExportTable, TheModuleCarriesTheWaitAnimation)
{
    // 31 square frames side by side, found by resource path once the module is loaded.
    const QImage strip(QStringLiteral(":/Vak04100/SHOWAVI.png"));
    ASSERT_FALSE(strip.isNull());
    ASSERT_GT(strip.height(), 0);
    EXPECT_EQ(strip.width(), 31 * strip.height());
    EXPECT_TRUE(strip.hasAlphaChannel());
    // Every frame draws something, and no two neighbours are the same picture.
    QImage previous;
    for (int frame = 0; frame < 31; ++frame) {
        const QImage image = strip.copy(frame * strip.height(), 0, strip.height(), strip.height());
        EXPECT_NE(image, previous) << frame;
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn) << frame;
        previous = image;
    }
}

TEST_F(ExportTable, TheVariablesAreEmptyBetweenCalls)
{
    auto* form = module.get<void*>("frmFidelidade");
    auto* dataModule = module.get<void*>("rdmFidelidade");
    ASSERT_NE(form, nullptr);
    ASSERT_NE(dataModule, nullptr);
    EXPECT_EQ(*form, nullptr);
    EXPECT_EQ(*dataModule, nullptr);
}

TEST_F(ExportTable, TheUnitTableListsTheUnitsInStartUpOrder)
{
    auto* getTable = module.get<const PackageInfoTable*()>("GetPackageInfoTable");
    ASSERT_NE(getTable, nullptr);
    const PackageInfoTable* table = getTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(static_cast<const void*>(table), module.symbol("PackageUnits"));
    ASSERT_EQ(table->unitCount, 3);
    EXPECT_STREQ(table->units[0].name, "Pkg_Vak04100");
    EXPECT_STREQ(table->units[1].name, "Srv_Vak04100");
    EXPECT_STREQ(table->units[2].name, "Cli_Vak04100");
    for (int i = 0; i < table->unitCount; ++i) {
        EXPECT_NE(table->units[i].initialization, nullptr) << i;
        EXPECT_NE(table->units[i].finalization, nullptr) << i;
    }
}

TEST_F(ExportTable, InitializeRunsTheStartUpSectionsOnceAndFinalizeMatchesIt)
{
    auto* initialize = module.get<void()>("Initialize");
    auto* finalize = module.get<void()>("Finalize");
    ASSERT_NE(initialize, nullptr);
    ASSERT_NE(finalize, nullptr);
    // The package's own start-up section makes the packet type known to Qt's meta-types,
    // so packets travel in variants and queued signals across the libraries.
    EXPECT_FALSE(QMetaType::fromName("platform::DataPacket").isValid());
    initialize();
    EXPECT_TRUE(QMetaType::fromName("platform::DataPacket").isValid());
    initialize();  // counted: the second Finalize below runs the shut-down sections
    finalize();
    finalize();
    finalize();  // one more than Initialize: nothing to undo, and no harm done
    initialize();
    finalize();
}

}  // namespace
