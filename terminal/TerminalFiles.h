#pragma once
// The terminal's files as the screen's opening reads them: where each file is, which keys
// and fields are read from it and as what type, and the readers themselves. The opening
// (client/) and the host's installation check (host/app) both read through these, so a
// file the check accepts is a file the opening reads the same way.
//
// Paths are relative to the host directory (platform::programDirectory()); letter case is
// ignored when looking them up (terminal folders copied from Windows).

#include "platform/dataset/ClientDataSet.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

#include <array>

namespace terminal {

// The program's fixed key of the protected values of the terminal files (hostkit's
// Uncripto); whatever writes those files encodes them with Cripto and this key.
constexpr int kChaveCripto = 4100;

enum class ValueType { Text, Integer, Float, Boolean, DateTime };
QString typeName(ValueType type);  // "text", "integer", ...

// A key or field as it is read: its name and the type it is read as.
struct Key {
    const char* name;
    ValueType type;
};

// The keys of the parameter file, in the order the opening reads them, each with the type
// it is read as: the one list the Param names and parameterKeys() are both made from.
#define VAK_TERMINAL_PARAMS(X) \
    X(IDESQUEMA, Text) \
    X(NRSERIEIMP, Text) \
    X(DSDIRCAD, Text) \
    X(CDFILIAL, Text) \
    X(CDLOJA, Text) \
    X(NMLOJA, Text) \
    X(CDCAIXA, Text) \
    X(CDCLIENTE, Text) \
    X(INCOR1, Integer) \
    X(INCOR2, Integer) \
    X(INCOR3, Integer) \
    X(INCOR4, Integer) \
    X(INCOR5, Integer) \
    X(INCOR6, Integer) \
    X(STTOTCV, Text) \
    X(IDTIPOIMPFIS, Integer) \
    X(IDUTILTEF, Text) \
    X(DSOBSCUPFIS, Text) \
    X(IDIMPSALDOCUPOM, Text) \
    X(IDTPTELAVE, Text) \
    X(DSMENSCPFCUP, Text) \
    X(IDIMPRCUPTEFRED, Text) \
    X(CDCCUSCLIE, Text) \
    X(DTABERCAIX, DateTime) \
    X(CDEMPRESA, Text) \
    X(IDPAISINTEGRA, Text) \
    X(DSMODELOECFVE, Text) \
    X(DSMARCAECFVE, Text) \
    X(ECFIMP, Text) \
    X(CDPREFINTGCOL, Text) \
    X(SISTEMALUMIVEND, Boolean) \
    X(SISTEMAQVNNFCE, Boolean) \
    X(SISTEMAQVNSAT, Boolean) \
    X(SGESTADOFILI, Text) \
    X(NRINSJUREMPR, Text) \
    X(CDINSCESTAEMPR, Text) \
    X(IDPARIMPRLIMVDC, Text) \
    X(UTILIZAIMPFIS, Boolean) \
    X(IDAMBTRABNFCE, Text) \
    X(IDIMPCOMPCUPVEN, Text) \
    X(IDUTILSATCOMP, Text)

// Param indexes parameterKeys().
enum class Param {
#define VAK_PARAM_NAME(name, type) name,
    VAK_TERMINAL_PARAMS(VAK_PARAM_NAME)
#undef VAK_PARAM_NAME
    Count
};
constexpr int kParamCount = int(Param::Count);
const std::array<Key, kParamCount>& parameterKeys();
const Key& parameterKey(Param p);

// Reads one value of the current row as the opening does: fieldByName and the reading
// of its type. Throws the dataset's "Field 'NAME' not found", or its conversion error.
QVariant readValue(platform::ClientDataSet& dataSet, const Key& key);

// The parameter file's values, read in order; the first key that cannot be read stops the
// reading with its error (the opening stops there too).
class Parameters {
public:
    static Parameters read(platform::ClientDataSet& parametros);
    QVariant value(Param p) const { return values_[size_t(p)]; }
    QString text(Param p) const { return value(p).toString(); }
    int integer(Param p) const { return value(p).toInt(); }
    bool flag(Param p) const { return value(p).toBool(); }
    QDateTime dateTime(Param p) const { return value(p).toDateTime(); }

private:
    std::array<QVariant, kParamCount> values_;
};

// The files. `relative` is under the host directory, except the host data file, which is
// named by DSDIRCAD.
enum class File { Parametros, AliqImpFis, DadosQuorvan, ControleAcess, ConfTipoRece, DataMovimento, AberturaCaixa };
struct FileDef {
    File id;
    const char* relative;     // "PARAMETROSQVN.CDS", "Dados/Cadastros/AliqImpFis.cds", ...
    const char* dataSet;      // the screen's dataset it is loaded into
    QList<Key> fields;        // what the screen reads from it (the parameter file: parameterKeys())
    bool satOnly = false;     // read only on SAT terminals
};
const QList<FileDef>& files();  // in the order the opening reads them
const FileDef& fileDef(File f);

constexpr const char* kHostDataFile = "QUORVAN.CDS";

// The existing file `relative` under the host directory; empty when there is none.
QString findHostFile(const QString& relative);
// The file named by a directory text as the terminal stores it (DSDIRCAD, which may use
// backslashes) followed directly by a file name; empty when there is none.
QString findInDirectoryText(const QString& directoryPlusName);
// Whether a DSDIRCAD text ends with a separator, as the host data file's name is
// appended to it directly.
bool endsWithSeparator(const QString& directoryText);

// The receipt types the cash movement takes its redemption type from: shown (or not
// said) and of kind "4".
QString redemptionReceiptFilter();

// Removes from a gift catalogue every row whose tax rate and tax type have no row in the
// terminal's tax table (rate compared as a number, type without regard to case).
// Returns the number of rows that remain. `removed`, when given, receives the names
// (NMPRODUTO) of the rows removed, in order.
int filterByTaxRate(platform::ClientDataSet& catalogue, platform::ClientDataSet& taxRates,
                    QStringList* removed = nullptr);

}  // namespace terminal
