#include "tools/shopgen/TerminalCommand.h"

#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "platform/CommandLine.h"
#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "platform/db/Connection.h"
#include "terminal/TerminalFiles.h"
#include "tools/shopgen/ShopData.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace shopgen {

namespace {

using platform::FieldDef;
using platform::FieldType;

void grava(const QString& path, const platform::FieldDefs& fields, const QList<QVariantList>& rows)
{
    platform::DataPacket packet;
    packet.fields = fields;
    packet.rows = rows;
    QDir().mkpath(QFileInfo(path).absolutePath());
    platform::writePacketFile(packet, path);
}

struct Perfil {
    bool impressora, nfce, sat;
    const char* caixa;
};

Perfil perfil(const QString& nome)
{
    if (nome == QLatin1String("fiscal"))
        return {true, false, false, "001"};
    if (nome == QLatin1String("nfce"))
        return {false, true, false, "002"};
    if (nome == QLatin1String("sat"))
        return {false, false, true, "001"};
    throw platform::Error(QStringLiteral("unknown profile '%1' (fiscal, nfce or sat)").arg(nome));
}

FieldType tipoDoCampo(terminal::ValueType tipo)
{
    switch (tipo) {
    case terminal::ValueType::Integer: return FieldType::Integer;
    case terminal::ValueType::Float: return FieldType::Float;
    case terminal::ValueType::Boolean: return FieldType::Boolean;
    case terminal::ValueType::DateTime: return FieldType::DateTime;
    default: return FieldType::String;
    }
}

// The parameter file with one value a key, in the screen's order and types.
void gravaTabelaDeParametros(const QString& path, const QHash<QByteArray, QVariant>& valores)
{
    platform::FieldDefs fields;
    QVariantList row;
    for (const terminal::Key& chave : terminal::parameterKeys()) {
        if (!valores.contains(chave.name))
            throw platform::Error(QStringLiteral("no value for the terminal parameter %1").arg(QLatin1String(chave.name)));
        const QVariant valor = valores.value(chave.name);
        const FieldType tipo = tipoDoCampo(chave.type);
        const int size = tipo == FieldType::String ? qMax(10, int(valor.toString().size()) + 10) : 0;
        fields << FieldDef::of(QString::fromLatin1(chave.name), tipo, size);
        row << valor;
    }
    if (valores.size() != terminal::kParamCount)
        throw platform::Error(QStringLiteral("values for terminal parameters the screen does not read"));
    grava(path, fields, {row});
}

void gravaParametros(const TerminalOptions& o, const Perfil& p, const QString& dirCad)
{
    const QDateTime abertura(o.today, QTime(7, 30));
    const QString caixa = o.cashRegister.isEmpty() ? QString::fromLatin1(p.caixa) : o.cashRegister;
    // Each register has a printer of its own: its serial ends in the register's code.
    // The value of each key; the keys, their order and their types are the screen's own
    // (terminal::parameterKeys()).
    const QHash<QByteArray, QVariant> valores = {
        {"IDESQUEMA", QStringLiteral("002")},
        {"NRSERIEIMP", p.impressora ? QStringLiteral("BE09121010001120") + caixa.right(4).rightJustified(4, QLatin1Char('0')) : QString()},
        {"DSDIRCAD", dirCad},
        {"CDFILIAL", QStringLiteral("0001")},
        {"CDLOJA", QStringLiteral("0001")},
        {"NMLOJA", QStringLiteral("Loja Centro")},
        {"CDCAIXA", caixa},
        {"CDCLIENTE", QStringLiteral("000001")},
        {"INCOR1", 0xCC5B2C}, {"INCOR2", 0xFFFFFF},
        {"INCOR3", 0x333333}, {"INCOR4", 0xEEEEEE},
        {"INCOR5", 0xF5E6DF}, {"INCOR6", 0x22DD64},
        {"STTOTCV", QStringLiteral("N")},
        {"IDTIPOIMPFIS", p.impressora ? 1 : 0},
        {"IDUTILTEF", QStringLiteral("N")},
        {"DSOBSCUPFIS", QStringLiteral("Obrigado pela preferência!")},
        {"IDIMPSALDOCUPOM", QStringLiteral("S")},
        {"IDTPTELAVE", QStringLiteral("1")},
        {"DSMENSCPFCUP", QStringLiteral("CPF/CNPJ do consumidor")},
        {"IDIMPRCUPTEFRED", QStringLiteral("N")},
        {"CDCCUSCLIE", QStringLiteral("001")},
        {"DTABERCAIX", abertura},
        {"CDEMPRESA", QStringLiteral("01")},
        {"IDPAISINTEGRA", QStringLiteral("N")},
        // An invented make and model: the simulated printer is no real maker's.
        {"DSMODELOECFVE", p.impressora ? QStringLiteral("SIMFISCAL 300 FI") : QString()},
        {"DSMARCAECFVE", p.impressora ? QStringLiteral("VAKPRINT") : QString()},
        {"ECFIMP", p.impressora ? QStringLiteral("001") : QString()},
        {"CDPREFINTGCOL", QStringLiteral("QV")},
        {"SISTEMALUMIVEND", false},
        {"SISTEMAQVNNFCE", p.nfce},
        {"SISTEMAQVNSAT", p.sat},
        {"SGESTADOFILI", QStringLiteral("SP")},
        {"NRINSJUREMPR", QStringLiteral("11222333000181")},
        {"CDINSCESTAEMPR", QStringLiteral("111222333444")},
        {"IDPARIMPRLIMVDC", QStringLiteral("N")},
        {"UTILIZAIMPFIS", p.impressora},
        {"IDAMBTRABNFCE", QStringLiteral("2")},
        {"IDIMPCOMPCUPVEN", QStringLiteral("S")},
        {"IDUTILSATCOMP", QStringLiteral("N")},
    };
    gravaTabelaDeParametros(o.dir + QStringLiteral("/PARAMETROSQVN.CDS"), valores);
}

// The rows of the terminal's tax table (code, rate, type): one per distinct rate and
// type of the shop's tax rows, or the generator's own table when no database is given.
QList<QVariantList> taxas(const QString& db)
{
    QList<QVariantList> linhas;
    if (!db.isEmpty()) {
        platform::db::Connection conexao(db);
        conexao.open();
        QSqlQuery q(conexao.database());
        if (!q.exec(QStringLiteral("SELECT DISTINCT VRPEALIMPFIS, IDTPIMPOSFIS FROM ALIQIMPFIS ORDER BY 1, 2")))
            throw platform::DatabaseError(
                QStringLiteral("table ALIQIMPFIS of the shop cannot be read: %1").arg(q.lastError().text().trimmed()));
        while (q.next())
            linhas << QVariantList{QString::number(linhas.size() + 1).rightJustified(2, QLatin1Char('0')),
                                   q.value(0).toDouble(), q.value(1).toString()};
    }
    if (linhas.isEmpty())
        for (const Aliquota& a : kAliquotas)
            linhas << QVariantList{QString::fromLatin1(a.codigo), a.rate, QString::fromLatin1(a.tipo)};
    return linhas;
}

void gravaCadastros(const TerminalOptions& o, const QString& dados, const QList<QVariantList>& aliquotas)
{
    const QString cad = dados + QStringLiteral("/Cadastros/");
    grava(cad + QStringLiteral("AliqImpFis.cds"),
          {FieldDef::text("CDALIQIMPFIS", 2), FieldDef::number("VRALIQIMPFIS"), FieldDef::text("IDALIQIMPFIS", 1)},
          aliquotas);

    grava(cad + QStringLiteral("ConfTipoRece.cds"),
          {FieldDef::text("CDTIPORECE", 3), FieldDef::text("NMTIPORECE", 30), FieldDef::text("IDTIPORECE", 1),
           FieldDef::text("IDMOSTRARECE", 1), FieldDef::text("CDTIPOTROCO", 3), FieldDef::text("NRORDTROCO", 3),
           FieldDef::text("DSIMPFISCAL", 20), FieldDef::text("CDBANCARTCR", 3), FieldDef::text("CDFPIMPFIS", 2)},
          {{QStringLiteral("001"), QStringLiteral("Dinheiro"), QStringLiteral("1"), QStringLiteral("S"),
            QStringLiteral("001"), QStringLiteral("1"), QStringLiteral("DINHEIRO"), QVariant(), QStringLiteral("01")},
           {QStringLiteral("003"), QStringLiteral("Cartão de Crédito"), QStringLiteral("3"), QStringLiteral("S"),
            QVariant(), QVariant(), QStringLiteral("CARTAO CREDITO"), QStringLiteral("001"), QStringLiteral("03")},
           {QStringLiteral("010"), QStringLiteral("Resgate Fidelidade (oculto)"), QStringLiteral("4"),
            QStringLiteral("N"), QVariant(), QVariant(), QStringLiteral("FIDELIDADE"), QVariant(), QStringLiteral("10")},
           {QStringLiteral("011"), QStringLiteral("Resgate Fidelidade"), QStringLiteral("4"), QVariant(),
            QStringLiteral("001"), QStringLiteral("1"), QStringLiteral("FIDELIDADE"), QVariant(), QStringLiteral("10")}});

    grava(cad + QStringLiteral("ControleAcess.cds"),
          {FieldDef::text("CDOPERADOR", 10), FieldDef::text("NMOPERADOR", 40)},
          {{QStringLiteral("101"), QStringLiteral("Operador de Caixa")}});
    grava(cad + QStringLiteral("DataMovimento.cds"), {FieldDef::dateTime("DATAMOVIMENTO")},
          {{QDateTime(o.today, QTime(0, 0))}});
    grava(cad + QStringLiteral("AberturaCaixa.cds"), {FieldDef::text("CDATIVACAOSAT", 100)},
          {{hostkit::Cripto(QStringLiteral("12345678"), terminal::kChaveCripto)}});
}

[[noreturn]] void failMove(const QString& from, const QString& to)
{
    throw platform::Error(QStringLiteral("cannot move %1 to %2: %3").arg(from, to, QString::fromLocal8Bit(std::strerror(errno))));
}

// Puts the built terminal in place: the whole folder in one rename when there is none
// yet; otherwise file by file, each replaced in one rename, so that what else the
// folder holds (a shop database beside the files) stays.
void moveIntoPlace(const QString& built, const QString& target)
{
    if (!QFileInfo::exists(target)) {
        if (std::rename(QFile::encodeName(built).constData(), QFile::encodeName(target).constData()) != 0)
            failMove(built, target);
        return;
    }
    QDirIterator it(built, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString to = target + from.mid(built.size());
        if (!QDir().mkpath(QFileInfo(to).absolutePath()))
            throw platform::Error(QStringLiteral("cannot create %1").arg(QFileInfo(to).absolutePath()));
        if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
            failMove(from, to);
    }
}

}  // namespace

void writeTerminal(const TerminalOptions& o)
{
    const Perfil p = perfil(o.profile);
    if (o.cashRegister.size() > 3)
        throw platform::Error(QStringLiteral("register code '%1' has more than 3 characters").arg(o.cashRegister));
    const QString target = QDir(o.dir).absolutePath();
    // The shop is read before anything is written: a shop that cannot be read leaves nothing behind.
    const QList<QVariantList> aliquotas = taxas(o.db);
    const QString parent = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parent))
        throw platform::Error(QStringLiteral("cannot create %1").arg(parent));
    // Built in a temporary folder beside the target and moved into place at the end.
    QTemporaryDir built(parent + QStringLiteral("/.") + QFileInfo(target).fileName() + QStringLiteral("-XXXXXX"));
    if (!built.isValid())
        throw platform::Error(QStringLiteral("cannot create a temporary folder in %1: %2").arg(parent, built.errorString()));
    TerminalOptions inBuild = o;
    inBuild.dir = built.path();
    if (!QDir().mkpath(built.path() + QStringLiteral("/Dados/Cadastros")))
        throw platform::Error(QStringLiteral("cannot create %1/Dados/Cadastros").arg(built.path()));
    // The files name their folders as they will be, under the target.
    const QString dirCad = target + QStringLiteral("/Dados/");
    gravaParametros(inBuild, p, dirCad);
    gravaCadastros(inBuild, built.path() + QStringLiteral("/Dados"), aliquotas);
    grava(built.path() + QStringLiteral("/Dados/QUORVAN.CDS"), {FieldDef::text("MD5ARQUIVOTXT", 100)},
          {{hostkit::Cripto(QStringLiteral("8F14E45FCEEA167A5A36DEDD4BEA2543"), terminal::kChaveCripto)}});
    if (!o.db.isEmpty())
        hostkit::saveStringConexQvn(built.path(), o.db);
    moveIntoPlace(built.path(), target);
}

int checkTerminal(const TerminalOptions& o)
{
    const QString pdvhost = QCoreApplication::applicationDirPath() + QStringLiteral("/pdvhost");
    if (!QFileInfo(pdvhost).isExecutable()) {
        std::printf("no pdvhost beside shopgen: the terminal was not checked\n");
        return 0;
    }
    QStringList args{QStringLiteral("check"), QStringLiteral("--terminal"), o.dir};
    if (!o.db.isEmpty())
        args << QStringLiteral("--db") << o.db;
    QProcess check;
    check.setProcessChannelMode(QProcess::ForwardedChannels);
    check.start(pdvhost, args);
    if (!check.waitForFinished(120000) || check.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "shopgen terminal: the check (%s check) did not finish\n", pdvhost.toLocal8Bit().constData());
        return 1;
    }
    return check.exitCode();
}

int runTerminalCommand(const QStringList& args)
{
    const QString usage =
        QStringLiteral("usage: shopgen terminal DIR --profile fiscal|nfce|sat [--register CODE] [--db CONNSTR]\n");
    QCommandLineParser parser;
    parser.addOption(QCommandLineOption(QStringLiteral("profile"), QString(), QStringLiteral("PROFILE"),
                                        QStringLiteral("fiscal")));
    parser.addOption(QCommandLineOption(QStringLiteral("db"), QString(), QStringLiteral("CONNSTR")));
    parser.addOption(QCommandLineOption(QStringLiteral("register"), QString(), QStringLiteral("CODE")));
    if (const auto status = platform::cli::parse(parser, args, "shopgen terminal", usage))
        return *status;
    if (parser.positionalArguments().size() != 1)
        return platform::cli::usageError("shopgen terminal",
                                         parser.positionalArguments().isEmpty()
                                             ? QStringLiteral("DIR is required")
                                             : QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[1]),
                                         usage);
    TerminalOptions o;
    o.dir = parser.positionalArguments()[0];
    o.profile = parser.value(QStringLiteral("profile"));
    o.db = parser.value(QStringLiteral("db"));
    o.cashRegister = parser.value(QStringLiteral("register"));
    try {
        writeTerminal(o);
    } catch (const platform::Error& e) {
        std::fprintf(stderr, "shopgen terminal: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "shopgen terminal: %s\n", e.what());
        return 1;
    }
    std::printf("terminal (%s) written to %s\n", o.profile.toLocal8Bit().constData(),
                QDir(o.dir).absolutePath().toLocal8Bit().constData());
    std::fflush(stdout);
    return checkTerminal(o);
}

}  // namespace shopgen
