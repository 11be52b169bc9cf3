// The terminal files, read as the screen's opening reads them (terminal/TerminalFiles.h):
// every problem of every file at once, instead of the opening's first.
#include "host/app/Check.h"

#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketCodec.h"
#include "platform/dataset/RegularFile.h"

namespace pdvhost::check {

namespace {

using platform::ClientDataSet;
using platform::FieldType;
using terminal::File;
using terminal::Param;
using terminal::ValueType;

QString label(const terminal::FileDef& def) { return QString::fromLatin1(def.relative); }

// Whether a field stored as `stored` holds a value of the type the screen reads it as.
bool storedAs(FieldType stored, ValueType read)
{
    using platform::ValueKind;
    const ValueKind kind = platform::kindOf(stored);
    switch (read) {
    case ValueType::Text: return true;
    case ValueType::Integer: return kind == ValueKind::Integer;
    case ValueType::Float: return platform::isNumericType(stored);
    case ValueType::Boolean: return kind == ValueKind::Boolean;
    case ValueType::DateTime: return kind == ValueKind::Date || kind == ValueKind::DateTime;
    }
    return false;
}

// Loads a file found at `path` as the screen does; null (with the finding) when unreadable.
std::unique_ptr<ClientDataSet> load(const terminal::FileDef& def, const QString& path, Findings& f)
{
    auto ds = std::make_unique<ClientDataSet>(QString::fromLatin1(def.dataSet));
    try {
        ds->loadFromFile(path);
        if (!ds->active())
            ds->open();
        return ds;
    } catch (const platform::Error& e) {
        // A FIFO, a device or a link loop in the file's place holds nothing to show.
        const bool regular = platform::nonRegularKind(path).isEmpty();
        f.error(label(def), {}, QStringLiteral("cannot be read: %1").arg(e.text()),
                regular ? QStringLiteral("write the file again from the host (cdstool dump shows what it holds)")
                        : QStringLiteral("put the file as the host writes it (a regular file) in its place"));
        return nullptr;
    }
}

// Reads every field the screen reads from the first row; each value read lands in `out`
// (indexed as def.fields) when given.
void readFields(ClientDataSet& ds, const terminal::FileDef& def, Findings& f,
                std::optional<QVariant>* out = nullptr)
{
    for (qsizetype i = 0; i < def.fields.size(); ++i) {
        const terminal::Key& key = def.fields[i];
        const QString name = QString::fromLatin1(key.name), type = terminal::typeName(key.type);
        platform::Field* field = ds.findField(name);
        if (!field) {
            f.error(label(def), name, QStringLiteral("missing; the screen reads it as %1").arg(type),
                    QStringLiteral("add the field %1 (%2) to the file").arg(name, type));
            continue;
        }
        try {
            const QVariant value = terminal::readValue(ds, key);
            if (out)
                out[i] = value;
        } catch (const platform::Error& e) {
            f.error(label(def), name, e.text(), QStringLiteral("store a %1 value").arg(type));
            continue;
        }
        if (!storedAs(field->dataType(), key.type))
            f.warning(label(def), name,
                      QStringLiteral("stored as %1, read as %2").arg(platform::xmlTypeName(field->dataType()), type),
                      QStringLiteral("store it as a %1").arg(type));
    }
}

// Loads the file and checks its fields; reports it missing with `missingWhy` as an error.
std::unique_ptr<ClientDataSet> loadChecked(File file, const QString& missingWhy, Findings& f,
                                           std::optional<QVariant>* out = nullptr)
{
    const terminal::FileDef& def = terminal::fileDef(file);
    const QString path = terminal::findHostFile(label(def));
    if (path.isEmpty()) {
        f.error(label(def), {}, QStringLiteral("missing: %1").arg(missingWhy),
                QStringLiteral("copy %1 from the host into the terminal").arg(label(def)));
        return nullptr;
    }
    auto ds = load(def, path, f);
    if (!ds)
        return nullptr;
    if (ds->recordCount() == 0) {
        f.error(label(def), {}, QStringLiteral("has no row: every value reads empty"),
                QStringLiteral("write the file again from the host"));
    } else if (ds->recordCount() > 1 && file == File::Parametros) {
        f.warning(label(def), {}, QStringLiteral("has %1 rows; only the first is read").arg(ds->recordCount()),
                  QStringLiteral("leave one row"));
    }
    ds->first();
    // Without a row the values mean nothing: only the fields are checked.
    readFields(*ds, def, f, ds->recordCount() > 0 ? out : nullptr);
    return ds;
}

const QString kFixParams = QStringLiteral("set it in the terminal's parameters at the host and export the file again");

// Codes are written with the sales in the shop's code page, Windows-1252, whatever the
// file's own encoding: a code with a character the code page cannot hold would be stored
// as another code.
void checkCodeText(const QString& file, const QString& key, const QString& code, Findings& f)
{
    if (platform::packet::fromCp1252(platform::packet::toCp1252(code)) == code)
        return;
    f.error(file, key,
            QStringLiteral("'%1' has characters that Windows-1252 cannot hold: the sales would be recorded under "
                           "another code, and the close-out refuses them").arg(code),
            QStringLiteral("use a code of Windows-1252 characters, as the host registers it"));
}

void checkParameters(Terminal& t, Findings& f)
{
    const QString file = label(terminal::fileDef(File::Parametros));
    if (t.flag(Param::SISTEMAQVNSAT) && !t.sat())
        f.warning(file, QStringLiteral("SISTEMAQVNSAT"),
                  QStringLiteral("both SISTEMAQVNNFCE and SISTEMAQVNSAT are set: the terminal is treated as NFC-e"),
                  QStringLiteral("clear the flag of the document this terminal does not issue"));
    for (Param p : {Param::CDFILIAL, Param::CDLOJA, Param::CDCAIXA})
        if (t.values[size_t(p)] && t.text(p).trimmed().isEmpty())
            f.error(file, QString::fromLatin1(terminal::parameterKey(p).name),
                    QStringLiteral("empty: the code is written with every sale"), kFixParams);
    for (int p = 0; p < terminal::kParamCount; ++p) {
        const terminal::Key& key = terminal::parameterKeys()[p];
        if (t.values[size_t(p)] && key.type == ValueType::Text && QByteArray(key.name).startsWith("CD"))
            checkCodeText(file, QString::fromLatin1(key.name), t.values[size_t(p)]->toString(), f);
    }
    for (int p = int(Param::INCOR1); p <= int(Param::INCOR6); ++p) {
        const auto& v = t.values[size_t(p)];
        if (v && (v->toLongLong() < 0 || v->toLongLong() > 0xFFFFFF))
            f.warning(file, QString::fromLatin1(terminal::parameterKeys()[p].name),
                      QStringLiteral("%1 is not a colour (0 to $FFFFFF, blue-green-red)").arg(v->toLongLong()),
                      QStringLiteral("store a colour as an integer $00BBGGRR"));
    }
    const auto& opening = t.values[size_t(Param::DTABERCAIX)];
    if (opening && (!opening->toDateTime().isValid() || opening->toDateTime().date() <= QDate(1899, 12, 30)))
        f.error(file, QStringLiteral("DTABERCAIX"),
                QStringLiteral("the register's opening date-time is not set: sales would carry a zero date"),
                QStringLiteral("open the register at the host, which writes the date-time"));
}

// The host data file under DSDIRCAD, whose MD-5 the fiscal receipt prints: an error on
// a terminal with a fiscal printer, a warning elsewhere.
void checkHostData(Terminal& t, Findings& f)
{
    const QString file = label(terminal::fileDef(File::Parametros));
    if (!t.values[size_t(Param::DSDIRCAD)])
        return;  // reported with the parameter file
    const QString dir = t.text(Param::DSDIRCAD);
    auto report = [&](const QString& key, const QString& message, const QString& fix) {
        t.fiscalPrinter() ? f.error(file, key, message, fix) : f.warning(file, key, message, fix);
    };
    if (!terminal::endsWithSeparator(dir)) {
        report(QStringLiteral("DSDIRCAD"),
               QStringLiteral("'%1' does not end with a separator: the host data file is looked for as '%1%2'")
                   .arg(dir, QLatin1String(terminal::kHostDataFile)),
               QStringLiteral("end DSDIRCAD with '/' (or '\\')"));
        return;
    }
    const QString path = terminal::findInDirectoryText(dir + QLatin1String(terminal::kHostDataFile));
    if (path.isEmpty()) {
        report(QStringLiteral("DSDIRCAD"), QStringLiteral("no %1 in '%2': the receipt goes without its MD-5")
                                               .arg(QLatin1String(terminal::kHostDataFile), dir),
               QStringLiteral("copy %1 from the host into %2, or correct DSDIRCAD")
                   .arg(QLatin1String(terminal::kHostDataFile), dir));
        return;
    }
    const terminal::FileDef& def = terminal::fileDef(File::DadosQuorvan);
    auto ds = load(def, path, f);
    if (!ds)
        return;
    std::optional<QVariant> md5[1];
    readFields(*ds, def, f, md5);
    try {
        if (md5[0] && hostkit::Uncripto(md5[0]->toString(), terminal::kChaveCripto).isEmpty())
            report(QStringLiteral("MD5ARQUIVOTXT"), QStringLiteral("empty: the receipt goes without its MD-5"),
                   QStringLiteral("write the host data file again from the host"));
    } catch (const platform::Error& e) {
        f.error(label(def), QStringLiteral("MD5ARQUIVOTXT"),
                QStringLiteral("cannot be decoded (%1): the opening fails").arg(e.text()),
                QStringLiteral("write the host data file again from the host"));
    }
}

void checkReceiptTypes(ClientDataSet& types, Findings& f)
{
    try {
        types.setFilter(terminal::redemptionReceiptFilter());
        types.setFiltered(true);
        if (types.recordCount() > 0)
            return;
        f.error(label(terminal::fileDef(File::ConfTipoRece)), QStringLiteral("IDTIPORECE"),
                QStringLiteral("no shown receipt type of kind \"4\": the cash movement would have no receipt type"),
                QStringLiteral("add the redemption receipt type (IDTIPORECE \"4\") at the host"));
    } catch (const platform::Error&) {
        // A missing field is reported with the file's fields.
    }
}

void checkBusinessDate(Terminal& t, ClientDataSet& ds, Findings& f)
{
    if (!ds.findField(QStringLiteral("DATAMOVIMENTO")) || ds.recordCount() == 0)
        return;
    t.businessDate = ds.fieldByName(QStringLiteral("DATAMOVIMENTO")).asDateTime();
    if (!t.businessDate.isValid() || t.businessDate.date() <= QDate(1899, 12, 30))
        f.error(label(terminal::fileDef(File::DataMovimento)), QStringLiteral("DATAMOVIMENTO"),
                QStringLiteral("the business date is not set (empty or the zero date)"),
                QStringLiteral("open the business day at the host, which writes the date"));
}

void checkRegisterOpening(Terminal& t, ClientDataSet& ds, Findings& f)
{
    const QString file = label(terminal::fileDef(File::AberturaCaixa));
    if (!ds.findField(QStringLiteral("CDATIVACAOSAT")) || ds.recordCount() == 0)
        return;
    try {
        t.activationCode = hostkit::Uncripto(ds.fieldByName(QStringLiteral("CDATIVACAOSAT")).asString(),
                                             terminal::kChaveCripto);
        if (t.activationCode.isEmpty())
            f.error(file, QStringLiteral("CDATIVACAOSAT"), QStringLiteral("empty: the SAT device refuses every sale"),
                    QStringLiteral("open the register at the host with the SAT's activation code"));
    } catch (const platform::Error& e) {
        f.error(file, QStringLiteral("CDATIVACAOSAT"),
                QStringLiteral("cannot be decoded (%1): the opening fails").arg(e.text()),
                QStringLiteral("open the register again at the host, which writes the code"));
    }
}

QString fieldText(ClientDataSet& ds, const char* name)
{
    platform::Field* field = ds.findField(QString::fromLatin1(name));
    return field && ds.recordCount() > 0 ? field->asString() : QString();
}

}  // namespace

void checkFiles(Terminal& t, Findings& f)
{
    if (loadChecked(File::Parametros, QStringLiteral("the screen does not open"), f, t.values.data()))
        checkParameters(t, f);
    checkHostData(t, f);
    t.taxRates = loadChecked(File::AliqImpFis, QStringLiteral("no gift can be chosen (\"SEM_ALIQ\")"), f);
    if (auto access = loadChecked(File::ControleAcess, QStringLiteral("the redemption has no operator"), f)) {
        t.operatorCode = fieldText(*access, "CDOPERADOR");
        t.operatorName = fieldText(*access, "NMOPERADOR");
        checkCodeText(label(terminal::fileDef(File::ControleAcess)), QStringLiteral("CDOPERADOR"), t.operatorCode, f);
        if (t.operatorCode.trimmed().isEmpty() && access->findField(QStringLiteral("CDOPERADOR")) &&
            access->recordCount() > 0)
            f.error(label(terminal::fileDef(File::ControleAcess)), QStringLiteral("CDOPERADOR"),
                    QStringLiteral("no operator: the sale would be recorded without one"),
                    QStringLiteral("log an operator in at the host, which writes the file"));
    }
    if (auto types = loadChecked(File::ConfTipoRece, QStringLiteral("the cash movement has no receipt type"), f))
        checkReceiptTypes(*types, f);
    if (auto date = loadChecked(File::DataMovimento, QStringLiteral("the business date is not set"), f))
        checkBusinessDate(t, *date, f);
    // Read as the opening reads it: whenever the SAT flag is set.
    if (t.flag(Param::SISTEMAQVNSAT))
        if (auto opening = loadChecked(File::AberturaCaixa, QStringLiteral("the SAT terminal has no activation code"), f))
            checkRegisterOpening(t, *opening, f);
}

}  // namespace pdvhost::check
