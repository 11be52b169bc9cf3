#include "terminal/TerminalFiles.h"

#include "platform/Error.h"
#include "platform/system/ProgramDirectory.h"

#include <QDir>
#include <QFileInfo>

namespace terminal {

namespace {

using T = ValueType;

constexpr std::array<Key, kParamCount> kParametros = {{
#define VAK_PARAM_KEY(name, type) {#name, T::type},
    VAK_TERMINAL_PARAMS(VAK_PARAM_KEY)
#undef VAK_PARAM_KEY
}};

QList<Key> keysOf(const std::array<Key, kParamCount>& keys)
{
    return QList<Key>(keys.begin(), keys.end());
}

}  // namespace

QString typeName(ValueType type)
{
    switch (type) {
    case T::Text: return QStringLiteral("text");
    case T::Integer: return QStringLiteral("integer");
    case T::Float: return QStringLiteral("number");
    case T::Boolean: return QStringLiteral("boolean");
    case T::DateTime: return QStringLiteral("date-time");
    }
    return {};
}

const std::array<Key, kParamCount>& parameterKeys() { return kParametros; }
const Key& parameterKey(Param p) { return kParametros[size_t(p)]; }

QVariant readValue(platform::ClientDataSet& dataSet, const Key& key)
{
    platform::Field& f = dataSet.fieldByName(QString::fromLatin1(key.name));
    switch (key.type) {
    case T::Text: return f.asString();
    case T::Integer: return f.asInteger();
    case T::Float: return f.asFloat();
    case T::Boolean: return f.asBoolean();
    case T::DateTime: return f.asDateTime();
    }
    return {};
}

Parameters Parameters::read(platform::ClientDataSet& parametros)
{
    Parameters p;
    for (size_t i = 0; i < kParametros.size(); ++i)
        p.values_[i] = readValue(parametros, kParametros[i]);
    return p;
}

const QList<FileDef>& files()
{
    static const QList<FileDef> list = {
        {File::Parametros, "PARAMETROSQVN.CDS", "cdsParametrosQvn", keysOf(kParametros)},
        {File::AliqImpFis, "Dados/Cadastros/AliqImpFis.cds", "cdsAliqImpFis",
         {{"CDALIQIMPFIS", T::Text}, {"VRALIQIMPFIS", T::Float}, {"IDALIQIMPFIS", T::Text}}},
        {File::DadosQuorvan, kHostDataFile, "cdsDadosQuorvan", {{"MD5ARQUIVOTXT", T::Text}}},
        {File::ControleAcess, "Dados/Cadastros/ControleAcess.cds", "cdsControleAcess",
         {{"CDOPERADOR", T::Text}, {"NMOPERADOR", T::Text}}},
        {File::ConfTipoRece, "Dados/Cadastros/ConfTipoRece.cds", "cdsConfTipoRece",
         {{"CDTIPORECE", T::Text}, {"NMTIPORECE", T::Text}, {"IDTIPORECE", T::Text}, {"IDMOSTRARECE", T::Text},
          {"CDTIPOTROCO", T::Text}, {"NRORDTROCO", T::Text}, {"DSIMPFISCAL", T::Text}, {"CDBANCARTCR", T::Text},
          {"CDFPIMPFIS", T::Text}}},
        {File::DataMovimento, "Dados/Cadastros/DataMovimento.cds", "cdsDataMovimento",
         {{"DATAMOVIMENTO", T::DateTime}}},
        {File::AberturaCaixa, "Dados/Cadastros/AberturaCaixa.cds", "cdsValidaAbertura",
         {{"CDATIVACAOSAT", T::Text}}, true},
    };
    return list;
}

const FileDef& fileDef(File f)
{
    for (const FileDef& s : files())
        if (s.id == f)
            return s;
    throw platform::Error(QStringLiteral("no such terminal file"));
}

QString findHostFile(const QString& relative)
{
    return platform::findFileIgnoringCase(platform::programDirectory(), relative);
}

QString findInDirectoryText(const QString& directoryPlusName)
{
    QString normal = directoryPlusName;
    normal.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo info(normal);
    if (info.fileName().isEmpty())
        return {};
    const QString dir = info.absolutePath();
    if (!QFileInfo(dir).isDir())
        return platform::findFileIgnoringCase(QDir::rootPath(), dir.mid(1) + QLatin1Char('/') + info.fileName());
    return platform::findFileIgnoringCase(dir, info.fileName());
}

bool endsWithSeparator(const QString& directoryText)
{
    return directoryText.endsWith(QLatin1Char('/')) || directoryText.endsWith(QLatin1Char('\\'));
}

QString redemptionReceiptFilter()
{
    return QStringLiteral("(IDMOSTRARECE = 'S' OR IDMOSTRARECE IS NULL) AND IDTIPORECE = '4'");
}

int filterByTaxRate(platform::ClientDataSet& catalogue, platform::ClientDataSet& taxRates, QStringList* removed)
{
    platform::LocateOptions semCaixa;
    semCaixa.caseInsensitive = true;
    catalogue.first();
    while (!catalogue.eof()) {
        const QVariantList chave{catalogue.fieldByName(QStringLiteral("VRPEALIMPFIS")).asFloat(),
                                 catalogue.fieldByName(QStringLiteral("IDTPIMPOSFIS")).asString()};
        if (taxRates.locate(QStringLiteral("VRALIQIMPFIS;IDALIQIMPFIS"), chave, semCaixa)) {
            catalogue.next();
        } else {
            if (removed)
                removed->append(catalogue.fieldByName(QStringLiteral("NMPRODUTO")).asString());
            catalogue.remove();  // the following row becomes current and is examined next
        }
    }
    return catalogue.recordCount();
}

}  // namespace terminal
