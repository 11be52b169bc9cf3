// The simulated fiscal printer. One printer per process; every command loads the state
// on first use, changes it, appends what the printer prints to the journal and saves
// the state, so that a crash between commands never reuses a receipt number.

#include "host/fiscaldev/SimPrinter.h"

#include "host/fiscaldev/PrinterState.h"
#include "host/fiscaldev/ReceiptText.h"
#include "hostapi/ArgumentBlocks.h"
#include "hostapi/fiscaldev.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cmath>

namespace fiscaldev::sim {

namespace {

constexpr int kCodeOk = 0;
constexpr int kCodeRefused = 1;
constexpr int kCodeInjected = 99;
using Closing = hostapi::BlockReader<hostapi::block::FechaCupom>;
using In = hostapi::block::FechaCupom;
using Answer = hostapi::answer::Impressora;

double round2(double v)
{
    return std::round(v * 100.0) / 100.0;
}

// A text of a parameter record without the padding its builder leaves around it.
QString trimmedText(const ParamRecord& record, const char* name)
{
    return record.value(QString::fromLatin1(name)).toString().trimmed();
}

double number(const ParamRecord& record, const char* name)
{
    return record.value(QString::fromLatin1(name)).toDouble();
}

// The caller's voRetorno as a list of at least 10 values, whatever it held before.
QVariantList resultArray(const QVariant& voRetorno)
{
    QVariantList list = voRetorno.toList();
    while (list.size() < 10)
        list.append(QVariant());
    return list;
}

void setResult(QVariant& voRetorno, int code, const QString& message, const QVariant& result = QString())
{
    QVariantList list = resultArray(voRetorno);
    list[Answer::Codigo] = code;
    list[Answer::Mensagem] = message;
    list[Answer::Cupom] = result;
    voRetorno = list;
}

class Printer {
public:
    void setDir(const QString& dir)
    {
        dir_ = dir;
        loaded_ = false;
        load();
    }
    void setDevice(const QString& stateDir, const QString& serial)
    {
        stateDir_ = stateDir;
        serial_ = serial;
        loaded_ = false;
        load();
    }
    QString dir() const { return dir_.isEmpty() ? QDir::current().filePath(QStringLiteral("fiscal")) : dir_; }
    QString journal() const { return QDir(dir()).filePath(QStringLiteral("journal.txt")); }
    // The state is the device's: under its serial in the terminal's folder once set.
    QString statePath() const
    {
        if (stateDir_.isEmpty() || serial_.isEmpty())
            return QDir(dir()).filePath(QStringLiteral("printer-state.json"));
        return QDir(stateDir_).filePath(serial_ + QStringLiteral("/printer-state.json"));
    }
    void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
    const QString& lastError() const { return lastError_; }
    void setLastError(const QString& text) { lastError_ = text; }

    const PrinterState& state()
    {
        load();
        return s_;
    }

    bool open(ParamRecord& record);
    bool item(const ParamRecord& record);
    bool close(const Closing& block, QVariant& voRetorno);
    bool updateTotals(const ParamRecord& record);
    bool cancel(QVariant& voRetorno);
    QDateTime movementDate();
    QStringList recover(const ReceiptHasSale& hasSale);

private:
    QDateTime now() const { return clock_ ? clock_() : QDateTime::currentDateTime(); }
    void load()
    {
        if (loaded_)
            return;
        s_ = PrinterState::load(statePath());
        if (!serial_.isEmpty())
            s_.serial = serial_;
        loaded_ = true;
    }
    bool refuse(const QString& reason)
    {
        lastError_ = reason;
        return false;
    }
    // Loads the state and checks that the record is one of `command`: refused otherwise.
    bool accepts(const ParamRecord& record, const char* command, const QString& notThisCommand)
    {
        load();
        if (record.value(QStringLiteral("COMANDO")).toString() == QLatin1String(command))
            return true;
        return refuse(notThisCommand);
    }
    bool done()
    {
        lastError_.clear();
        return true;
    }
    void print(const QStringList& lines);
    void commit()
    {
        const QString path = statePath();
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            throw platform::HostError(QStringLiteral("fiscaldev: cannot create the printer's state directory for %1").arg(path));
        s_.save(path);
    }
    void cancelOpen(const QString& reason);

    QString dir_;
    QString stateDir_, serial_;
    PrinterState s_;
    bool loaded_ = false;
    std::function<QDateTime()> clock_;
    QString lastError_;
};

Printer& printer()
{
    static Printer p;
    return p;
}

void Printer::print(const QStringList& lines)
{
    if (!QDir().mkpath(dir()))
        throw platform::HostError(QStringLiteral("fiscaldev: cannot create the printer's output directory %1").arg(dir()));
    QFile file(journal());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        throw platform::HostError(QStringLiteral("fiscaldev: cannot write the journal %1: %2").arg(journal(), file.errorString()));
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    for (const QString& line : lines)
        out << line << '\n';
    out.flush();
    if (file.error() != QFileDevice::NoError)
        throw platform::HostError(QStringLiteral("fiscaldev: cannot write the journal %1: %2").arg(journal(), file.errorString()));
}

void Printer::cancelOpen(const QString& reason)
{
    print(text::cancellationLines({now(), 0, s_.open->coo, s_.open->subtotal, reason}));
    s_.cancelledTotal = round2(s_.cancelledTotal + s_.open->subtotal);
    ++s_.cancellations;
    s_.open.reset();
    s_.lastReceiptCancellable = false;
}

bool Printer::open(ParamRecord& record)
{
    if (!accepts(record, "AbreCupom", QStringLiteral("O registro de parâmetros não é de abertura de cupom.")))
        return false;
    const QDateTime when = now();
    if (s_.open) {
        // A receipt left open (a crash, a refused cancellation) would block the register
        // for good; the printer cancels it before opening the next one.
        cancelOpen(QStringLiteral("Cancelado na abertura do cupom seguinte."));
    }
    if (!s_.movementDate.isValid() || s_.movementDate < when.date())
        s_.movementDate = when.date();
    ++s_.coo;
    ++s_.ccf;
    s_.open = OpenReceipt{s_.coo, s_.ccf, 0, 0, when};
    s_.lastReceiptCancellable = false;
    print(text::openingLines({s_.serial, when, s_.coo, s_.ccf, record.value(QStringLiteral("NRCPF")).toString(),
                              record.value(QStringLiteral("NMCONSUMIDOR")).toString(),
                              record.value(QStringLiteral("DSENDERECO")).toString()}));
    commit();
    record.insert(QStringLiteral("CUPNR"), text::number6(s_.coo));
    record.insert(QStringLiteral("CONTCUPOM"), text::number6(s_.ccf));
    return done();
}

bool Printer::item(const ParamRecord& record)
{
    if (!accepts(record, "VendaItem", QStringLiteral("O registro de parâmetros não é de venda de item.")))
        return false;
    if (!s_.open)
        return refuse(QStringLiteral("Não há cupom aberto."));
    text::Item item;
    item.number = s_.open->items + 1;
    item.code = trimmedText(record, "CODIGO");
    item.description = trimmedText(record, "DESCRICAO");
    item.unit = trimmedText(record, "UNIDADE");
    item.taxCode = trimmedText(record, "CDALIQUOTA");
    item.taxType = trimmedText(record, "IDALIQUOTA");
    item.rate = trimmedText(record, "ALIQUOTA");
    item.quantity = number(record, "QUANTIDADE");
    item.unitPrice = number(record, "PRECOUNITARIO");
    item.discount = number(record, "DESCONTO");
    item.surcharge = number(record, "ACRESCIMO");
    if (item.code.isEmpty() || item.description.isEmpty())
        return refuse(QStringLiteral("Código e descrição do item são obrigatórios."));
    if (item.taxCode.isEmpty())
        return refuse(QStringLiteral("Alíquota do item não informada."));
    if (!(item.quantity > 0) || !(item.unitPrice >= 0) || item.discount < 0 || item.surcharge < 0)
        return refuse(QStringLiteral("Quantidade, preço, desconto ou acréscimo inválido."));
    if (item.discount > item.quantity * item.unitPrice + 0.005)
        return refuse(QStringLiteral("Desconto maior que o valor do item."));
    print(text::itemLines(item));
    s_.open->items = item.number;
    s_.open->subtotal = round2(s_.open->subtotal + item.total());
    commit();
    return done();
}

bool Printer::close(const Closing& block, QVariant& voRetorno)
{
    load();
    auto refused = [&](const QString& reason) {
        setResult(voRetorno, kCodeRefused, reason);
        return refuse(reason);
    };
    if (!s_.open)
        return refused(QStringLiteral("Não há cupom aberto."));
    if (s_.open->items == 0)
        return refused(QStringLiteral("Cupom sem itens não pode ser fechado."));
    const double subtotal = s_.open->subtotal;
    const double discount = round2(block[In::Desconto].toDouble());
    if (discount < 0 || discount > subtotal)
        return refused(QStringLiteral("Desconto no total inválido: maior que o subtotal ou negativo."));
    const QDateTime when = now();
    const double total = round2(subtotal - discount);
    const int coo = s_.open->coo;
    s_.lastReceiptCcf = s_.open->ccf;
    s_.lastReceiptOpened = s_.open->opened;
    print(text::closingLines({subtotal, discount, total, block[In::CdOperador].toString(),
                              block[In::NmOperador].toString(), block[In::SenhaCupom].toString(),
                              block[In::DsObsCupFis].toString(), block[In::Md5].toString(), when, coo}));
    s_.grandTotal = round2(s_.grandTotal + total);
    s_.lastReceiptCoo = coo;
    s_.lastReceiptTotal = total;
    s_.lastReceiptCancellable = true;
    s_.open.reset();
    commit();
    setResult(voRetorno, kCodeOk, QStringLiteral("Cupom fechado."), text::number6(coo));
    QVariantList list = voRetorno.toList();
    list[Answer::Total] = total;
    list[Answer::Momento] = when;
    voRetorno = list;
    return done();
}

bool Printer::updateTotals(const ParamRecord& record)
{
    if (!accepts(record, "Atu_TotGeral", QStringLiteral("O registro de parâmetros não é de atualização de totais.")))
        return false;
    const QString branch = trimmedText(record, "CDFILIAL");
    const QString reg = trimmedText(record, "CDCAIXA");
    if (branch.isEmpty() || reg.isEmpty())
        return refuse(QStringLiteral("Filial e caixa são obrigatórios na atualização de totais."));
    s_.registers.insert(branch + QLatin1Char('/') + reg,
                        QJsonObject{{QStringLiteral("serial"), record.value(QStringLiteral("NRSERIEIMP")).toString()},
                                    {QStringLiteral("grandTotal"), s_.grandTotal},
                                    {QStringLiteral("coo"), s_.coo},
                                    {QStringLiteral("updated"), now().toString(Qt::ISODate)}});
    commit();
    return done();
}

bool Printer::cancel(QVariant& voRetorno)
{
    load();
    if (s_.open) {
        const int coo = s_.open->coo;
        cancelOpen(QString());
        commit();
        setResult(voRetorno, kCodeOk, QStringLiteral("Cupom cancelado."), text::number6(coo));
        return done();
    }
    if (!s_.lastReceiptCancellable) {
        setResult(voRetorno, kCodeRefused, QStringLiteral("Não há cupom a cancelar."));
        return refuse(QStringLiteral("Não há cupom a cancelar."));
    }
    ++s_.coo;
    print(text::cancellationLines({now(), s_.coo, s_.lastReceiptCoo, s_.lastReceiptTotal, QString()}));
    s_.cancelledTotal = round2(s_.cancelledTotal + s_.lastReceiptTotal);
    ++s_.cancellations;
    s_.lastReceiptCancellable = false;
    commit();
    setResult(voRetorno, kCodeOk, QStringLiteral("Cupom cancelado."), text::number6(s_.lastReceiptCoo));
    return done();
}

QStringList Printer::recover(const ReceiptHasSale& hasSale)
{
    load();
    QStringList done;
    QVariant ignored;
    if (s_.open) {
        const int coo = s_.open->coo;
        cancelOpen(QStringLiteral("Cancelado na recuperação do terminal."));
        commit();
        done << QStringLiteral("cupom %1, deixado aberto, cancelado").arg(text::number6(coo));
    }
    if (s_.lastReceiptCancellable
        && !hasSale(s_.serial, text::number6(s_.lastReceiptCoo), text::number6(s_.lastReceiptCcf))) {
        const int coo = s_.lastReceiptCoo;
        cancel(ignored);
        done << QStringLiteral("cupom %1, sem venda concluída, cancelado").arg(text::number6(coo));
    }
    return done;
}

QDateTime Printer::movementDate()
{
    load();
    const QDate date = s_.movementDate.isValid() ? s_.movementDate : now().date();
    return QDateTime(date, QTime(0, 0));
}

// ---- the procedure variables' implementations -------------------------------------------

bool abreCupom(ParamRecord& record) { return printer().open(record); }
bool vendaItem(ParamRecord& record) { return printer().item(record); }
bool atuTotGeral(ParamRecord& record) { return printer().updateTotals(record); }
QDateTime dataMoviFiscal(const QString&) { return printer().movementDate(); }

bool fechaCupom(const QVariantList& block, int highest, int, QVariant& voRetorno)
{
    return printer().close(Closing(block, highest), voRetorno);
}

bool cancelaCupomImp(const QVariantList& block, int highest, QVariant& voRetorno)
{
    [[maybe_unused]] const hostapi::BlockReader<hostapi::block::CancelaCupomImp> checked(block, highest);
    return printer().cancel(voRetorno);
}

const QString kInjected = QStringLiteral("Comando recusado pela impressora fiscal.");

// A planned refusal: the printer keeps the reason as its last error.
bool refuseInjected()
{
    printer().setLastError(kInjected);
    return false;
}

bool refuseRecord(ParamRecord&)
{
    return refuseInjected();
}

// A planned refusal of a call that answers in voRetorno: the answer gives the reason too.
bool refuseAnswering(QVariant& voRetorno)
{
    setResult(voRetorno, kCodeInjected, kInjected);
    return refuseInjected();
}

}  // namespace

void installAll()
{
    AbreCupom.assign(abreCupom, refuseRecord);
    VendaItem.assign(vendaItem, refuseRecord);
    FechaCupom.assign(fechaCupom, [](const QVariantList&, int, int, QVariant& r) { return refuseAnswering(r); });
    Atu_TotGeral.assign(atuTotGeral, refuseRecord);
    Cancela_Cupom_Imp.assign(cancelaCupomImp, [](const QVariantList&, int, QVariant& r) { return refuseAnswering(r); });
    DataMoviFiscal = dataMoviFiscal;  // a planned fault throws: the default refusal
}

void setOutputDir(const QString& dir) { printer().setDir(dir); }
void setDevice(const QString& stateDir, const QString& serial) { printer().setDevice(stateDir, serial); }
QString serial() { return printer().state().serial; }
QString outputDir() { return printer().dir(); }
QString journalPath() { return printer().journal(); }
QString statePath() { return printer().statePath(); }
void setClock(std::function<QDateTime()> clock) { printer().setClock(std::move(clock)); }
void failNext(const QString& op, int n) { library().failNext(op, n); }
void clearFaults() { library().clearFaults(); }
QString lastError() { return printer().lastError(); }
QStringList recover(const ReceiptHasSale& hasSale) { return printer().recover(hasSale); }

Status status()
{
    const PrinterState& s = printer().state();
    Status st;
    st.coo = s.coo;
    st.ccf = s.ccf;
    st.grandTotal = s.grandTotal;
    st.cancelledTotal = s.cancelledTotal;
    st.cancellations = s.cancellations;
    st.receiptOpen = s.open.has_value();
    st.openItems = s.open ? s.open->items : 0;
    st.movementDate = s.movementDate;
    return st;
}

}  // namespace fiscaldev::sim
