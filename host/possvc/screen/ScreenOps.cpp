// The screen operations of possvc and the scripted-mode queues that answer them.

#include "host/possvc/screen/ScreenOps.h"

#include "host/possvc/sale/OwnConnection.h"
#include "host/possvc/screen/PriceLookup.h"
#include "host/possvc/screen/SearchDialog.h"
#include "host/possvc/screen/WaitIndicator.h"
#include "hostapi/ArgumentBlocks.h"
#include "hostapi/hostkit.h"
#include "hostapi/possvc.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>

#include <deque>
#include <memory>

namespace possvc::sim {

namespace {

struct ScreenState {
    bool scripted = false;
    std::deque<PickAnswer> picks;
    std::deque<QString> prices;
    QPointer<WaitIndicator> indicator;
    OwnConnection db;
};

void releaseAtExit();

ScreenState& state()
{
    static ScreenState s = [] {
        // The connection and the indicator go with the application object, while Qt SQL
        // and the widgets still work, not at the process's static clean-up.
        qAddPostRoutine(releaseAtExit);
        return ScreenState{};
    }();
    return s;
}

void releaseAtExit()
{
    ScreenState& s = state();
    delete s.indicator.data();
    s.db.close();
}

[[noreturn]] void fail(const char* op, const QString& what)
{
    throw platform::HostError(QStringLiteral("possvc: %1: %2").arg(QLatin1String(op), what));
}

// The shop database, opened on first use and again whenever the connection string changes.
platform::db::Connection& database()
{
    return state().db.get();
}

// ---- Pesquisa ----------------------------------------------------------------------------

bool chooseQueued(platform::ClientDataSet* ds, const PickAnswer& answer)
{
    const int count = ds->recordCount();
    switch (answer.kind) {
    case PickAnswer::Kind::Cancel:
        return false;
    case PickAnswer::Kind::Row:
        if (answer.row < 1 || answer.row > count)
            fail("Pesquisa", QStringLiteral("row %1 was asked for, the list of %2 shows %3 rows")
                                 .arg(answer.row).arg(ds->name()).arg(count));
        ds->setRecNo(answer.row);
        return true;
    case PickAnswer::Kind::Match: {
        const platform::Field* f = ds->findField(answer.field);
        if (!f) {
            for (int i = 0; i < ds->fieldCount() && !f; ++i)
                if (ds->field(i).fieldName().compare(answer.field, Qt::CaseInsensitive) == 0)
                    f = &ds->field(i);
        }
        if (!f)
            fail("Pesquisa", QStringLiteral("the list of %1 has no field %2").arg(ds->name(), answer.field));
        const QString wanted = answer.value.trimmed();
        for (int row = 0; row < count; ++row) {
            if (ds->valueAt(row, f->index()).toString().trimmed() == wanted ||
                ds->displayTextAt(row, f->index()).trimmed() == wanted) {
                ds->setRecNo(row + 1);
                return true;
            }
        }
        fail("Pesquisa", QStringLiteral("the list of %1 has no row with %2=%3").arg(ds->name(), f->fieldName(), wanted));
    }
    }
    return false;
}

bool pesquisa(platform::ClientDataSet* ds, const QVariant&, const QString&, int cor1, int cor2, int cor3, int cor5,
              int)
{
    ScreenState& s = state();
    if (!s.picks.empty()) {
        const PickAnswer answer = s.picks.front();
        s.picks.pop_front();
        if (answer.kind != PickAnswer::Kind::Cancel && (!ds || !ds->active()))
            fail("Pesquisa", QStringLiteral("the dataset to search is not open"));
        return answer.kind != PickAnswer::Kind::Cancel && chooseQueued(ds, answer);
    }
    if (s.scripted || !ds || !ds->active())
        return false;
    SearchDialog dialog(ds, {terminalColours(cor1, cor2), terminalColours(cor3, cor5)}, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted || dialog.chosenRow() < 0)
        return false;
    ds->setRecNo(dialog.chosenRow() + 1);
    return true;
}

// ---- wait indicator ----------------------------------------------------------------------

void ativaProcesso(QWidget* form, const QString& text, int cor1, int cor2)
{
    ScreenState& s = state();
    if (s.indicator && s.indicator->form() == form) {
        s.indicator->setText(text);
    } else {
        delete s.indicator.data();
        s.indicator = new WaitIndicator(form, text, terminalColours(cor1, cor2));
    }
    s.indicator->show();
    s.indicator->raise();
    // Painted now: the caller keeps the event loop busy until DesativaProcesso.
    s.indicator->repaint();
}

void desativaProcesso()
{
    delete state().indicator.data();
}

// ---- price lookup and fiscal codes --------------------------------------------------------

void chamaFuncaoRetornaPreco(const QVariantList& block, int highest, QVariant& voRetorno, QString& answer)
{
    using In = hostapi::block::ChamaFuncaoRetornaPreco;
    const hostapi::BlockReader<In> in(block, highest);
    ScreenState& s = state();
    if (!s.prices.empty()) {
        answer = s.prices.front();
        s.prices.pop_front();
    } else {
        const PriceRequest request{in.text(In::CdFilial), in.text(In::CdCliente), in.text(In::CdProduto),
                                   in.text(In::CdLoja)};
        try {
            answer = lookUpPrice(database(), request, QDate::currentDate());
        } catch (const platform::DatabaseError& e) {
            fail("ChamaFuncaoRetornaPreco", e.text());
        }
    }
    QVariantList result = voRetorno.toList();
    if (result.isEmpty())
        result.append(QVariant());
    result[hostapi::answer::Preco::Valor] = answer;
    voRetorno = result;
}

void getProdCodCestNcmImpl(const QString& product, QVariant& codes)
{
    QVariantList found;
    try {
        found = productFiscalCodes(database(), product.trimmed());
    } catch (const platform::DatabaseError& e) {
        fail("getProdCodCestNcm", e.text());
    }
    QVariantList list = codes.toList();
    while (list.size() < 2)
        list.append(QVariant());
    using Codigos = hostapi::answer::CodigosFiscais;
    list[Codigos::Cest] = found.value(0);
    list[Codigos::Ncm] = found.value(1);
    codes = list;
}

}  // namespace

void installScreenOps()
{
    Pesquisa = pesquisa;
    AtivaProcesso = ativaProcesso;
    DesativaProcesso = desativaProcesso;
    ChamaFuncaoRetornaPreco = chamaFuncaoRetornaPreco;
    getProdCodCestNcm = getProdCodCestNcmImpl;
}

void setScripted(bool on) { state().scripted = on; }
bool scripted() { return state().scripted; }

void queuePick(const PickAnswer& answer) { state().picks.push_back(answer); }

void queuePick(const QString& text)
{
    const QString t = text.trimmed();
    PickAnswer answer;
    bool isNumber = false;
    const int n = t.toInt(&isNumber);
    if (t.compare(QLatin1String("cancel"), Qt::CaseInsensitive) == 0) {
        answer.kind = PickAnswer::Kind::Cancel;
    } else if (isNumber) {
        if (n < 1)
            throw platform::HostError(QStringLiteral("possvc: pick: the row number must be 1 or more (got %1)").arg(t));
        answer.kind = PickAnswer::Kind::Row;
        answer.row = n;
    } else if (const int eq = t.indexOf(QLatin1Char('=')); eq > 0) {
        answer.kind = PickAnswer::Kind::Match;
        answer.field = t.left(eq).trimmed();
        answer.value = t.mid(eq + 1).trimmed();
    } else {
        throw platform::HostError(
            QStringLiteral("possvc: pick: \"%1\" is not a row number, FIELD=VALUE or cancel").arg(t));
    }
    queuePick(answer);
}

void queuePrice(const QString& answer) { state().prices.push_back(answer); }

void clearQueues()
{
    state().picks.clear();
    state().prices.clear();
}

int pendingPicks() { return static_cast<int>(state().picks.size()); }
int pendingPrices() { return static_cast<int>(state().prices.size()); }

void failNext(const QString& op, int n) { library().failNext(op, n); }

void setConnectionSource(std::function<QString()> source)
{
    state().db.setSource(std::move(source));
}

void closeConnection()
{
    state().db.close();
}

QWidget* activeIndicator() { return state().indicator.data(); }

}  // namespace possvc::sim
