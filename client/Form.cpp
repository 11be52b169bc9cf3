// The form's life, its datasets and message table, the key map, the enabling rules and
// the previous/next buttons.
#include "client/Cli_Vak04100.h"
#include "client/MessageTable.h"

#include "platform/ui/ErrorDisplay.h"

#include <QApplication>
#include <QKeyEvent>

namespace Cli_Vak04100 {

using platform::DataSetState;
using platform::FieldDef;
using platform::FieldType;
using platform::ui::guarded;

TfrmFidelidade::TfrmFidelidade(QWidget* owner) : QDialog(owner)
{
    // The zero date-time is the initial value of every date-time of the screen state.
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    dtAberCaix = zero;
    dtMovimento = zero;

    criaComponentes();
    criaDataSets();
    msgPadrao = new hostkit::TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
    msgPadrao->setMessages(tabelaMensagens());
    ligaEventos();
    // Key preview: the screen sees every key before the control that has the focus.
    qApp->installEventFilter(this);
}

TfrmFidelidade::~TfrmFidelidade()
{
    qApp->removeEventFilter(this);
    // The grids and datasets go with their owner; the grids let go of the datasets first.
    dbgCampanha->setDataSet(nullptr);
    dbgBrinde->setDataSet(nullptr);
}

void TfrmFidelidade::criaDataSets()
{
    auto cds = [this](const char* name) {
        auto* ds = new ClientDataSet(QString::fromLatin1(name), this);
        ds->setObjectName(QString::fromLatin1(name));
        return ds;
    };
    cdsCampanha = cds("cdsCampanha");
    cdsBrinde = cds("cdsBrinde");
    cdsConsumidor = cds("cdsConsumidor");
    cdsPesqBrinde = cds("cdsPesqBrinde");
    cdsAliqImpFis = cds("cdsAliqImpFis");
    cdsParametrosQvn = cds("cdsParametrosQvn");
    cdsDadosQuorvan = cds("cdsDadosQuorvan");
    cdsControleAcess = cds("cdsControleAcess");
    cdsDataMovimento = cds("cdsDataMovimento");
    cdsValidaAbertura = cds("cdsValidaAbertura");
    cdsConfTipoRece = cds("cdsConfTipoRece");
    cdsMovCaixa = cds("cdsMovCaixa");
    cdsVenda = cds("cdsVenda");
    cdsParamImpCupNF = cds("cdsParamImpCupNF");
    cdsVendaCancelada = cds("cdsVendaCancelada");
    cdsFamiliaSaldo = cds("cdsFamiliaSaldo");
    cdsEmprestimoFam = cds("cdsEmprestimoFam");
    cdsItPromoComb = cds("cdsItPromoComb");
    cdsVazio = cds("cdsVazio");
    cdsSaldoCred = cds("cdsSaldoCred");
    DefineCamposBrinde();
    dbgCampanha->setDataSet(cdsCampanha);
    dbgBrinde->setDataSet(cdsBrinde);
}

void TfrmFidelidade::DefineCamposBrinde()
{
    auto texto = [](const char* name, int size, const char* label = nullptr) {
        return FieldDef::text(QString::fromLatin1(name), size).labelled(QString::fromUtf8(label));
    };
    auto numero = [](const char* name, const char* label = nullptr) {
        return FieldDef::number(QString::fromLatin1(name)).labelled(QString::fromUtf8(label));
    };
    cdsBrinde->fieldDefs() = {
        texto("CDFILIAL", 4),         texto("CDCLIENTE", 21),   texto("CDCAMPANHA", 10),
        texto("CDPRODUTO", 10),       numero("VRPONTOBRINDE", "Nr. Pontos"),
        texto("CDARVPROD", 20),       texto("NMPRODUTO", 50, "Brinde"),
        texto("SGUNIDADE", 10),       numero("VRPRECITEM"),     numero("VRPEALIMPFIS"),
        texto("CDIMPOSTO", 2),        texto("IDTPIMPOSFIS", 1), texto("CDPRODIMPFIS", 20),
        texto("IDUTILVOUCHER", 1),
    };
}

void TfrmFidelidade::ligaEventos()
{
    auto liga = [this](TBlendedBitBtn* b, void (TfrmFidelidade::*handler)(QObject*)) {
        connect(b, &QAbstractButton::clicked, this, [this, b, handler] { (this->*handler)(b); });
    };
    liga(lblSair, &TfrmFidelidade::lblSairClick);
    liga(blbPesqConsumidor, &TfrmFidelidade::blbPesqConsumidorClick);
    liga(blbAnteriorCamp, &TfrmFidelidade::blbAnteriorCampClick);
    liga(blbProximoCamp, &TfrmFidelidade::blbProximoCampClick);
    liga(blbAnteriorBrinde, &TfrmFidelidade::blbAnteriorBrindeClick);
    liga(blbProximoBrinde, &TfrmFidelidade::blbProximoBrindeClick);
    liga(blbPesqBrinde, &TfrmFidelidade::blbPesqBrindeClick);
    liga(blbCancelaBrinde, &TfrmFidelidade::blbCancelaBrindeClick);
    liga(blbConfirma, &TfrmFidelidade::blbConfirmaClick);

    // The data sources' state-change events. A load into an open dataset and emptying it
    // are announced as a reset; the rules are evaluated then as well, so that the buttons
    // always follow the datasets.
    connect(cdsCampanha, &ClientDataSet::stateChanged, this, [this] { dtsCampanhaStateChange(cdsCampanha); });
    connect(cdsCampanha, &ClientDataSet::reset, this, [this] { dtsCampanhaStateChange(cdsCampanha); });
    connect(cdsBrinde, &ClientDataSet::stateChanged, this, [this] { dtsBrindeStateChange(cdsBrinde); });
    connect(cdsBrinde, &ClientDataSet::reset, this, [this] { dtsBrindeStateChange(cdsBrinde); });
    connect(cdsBrinde, &ClientDataSet::afterPost, this, [this] { cdsBrindeAfterPost(cdsBrinde); });
}

bool TfrmFidelidade::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QDialog::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != this && !isAncestorOf(widget)))
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::KeyRelease) {
        ultimaTecla_ = {};
        return false;
    }
    // A key press that the focused control does not take travels up to its parents,
    // passing this filter again with the same event: the screen acts on it once. (A new
    // press may reuse the address of the last one, so the key and its time count too.)
    const TeclaVista vista{event, key->key(), key->modifiers(), key->timestamp()};
    if (vista == ultimaTecla_)
        return false;
    ultimaTecla_ = vista;
    int code = key->key();
    FormKeyDown(this, code, key->modifiers());
    return false;  // not consumed: the focused control receives the key as well
}

void TfrmFidelidade::FormKeyDown(QObject*, int& key, Qt::KeyboardModifiers)
{
    // The function keys press their button when it is enabled; Esc closes the screen.
    struct Atalho {
        int tecla;
        TBlendedBitBtn* TfrmFidelidade::*botao;
        void (TfrmFidelidade::*clique)(QObject*);
    };
    static const Atalho atalhos[] = {
        {Qt::Key_F2, &TfrmFidelidade::blbPesqConsumidor, &TfrmFidelidade::blbPesqConsumidorClick},
        {Qt::Key_F3, &TfrmFidelidade::blbCancelaBrinde, &TfrmFidelidade::blbCancelaBrindeClick},
        {Qt::Key_F4, &TfrmFidelidade::blbPesqBrinde, &TfrmFidelidade::blbPesqBrindeClick},
        {Qt::Key_F5, &TfrmFidelidade::blbConfirma, &TfrmFidelidade::blbConfirmaClick},
    };
    guarded([&] {
        // The modifier state is not looked at: Shift+F4 and Ctrl+F4 act like F4.
        if (key == Qt::Key_Escape) {
            lblSairClick(lblSair);
            return;
        }
        for (const Atalho& a : atalhos) {
            if (a.tecla != key)
                continue;
            TBlendedBitBtn* b = this->*a.botao;
            if (b->isEnabled())
                (this->*a.clique)(b);
            return;
        }
    });
}

void TfrmFidelidade::lblSairClick(QObject*)
{
    guarded([&] { close(); });
}

void TfrmFidelidade::dtsCampanhaStateChange(QObject*)
{
    guarded([&] { blbPesqBrinde->setEnabled(cdsCampanha->active() && !cdsCampanha->isEmpty()); });
}

void TfrmFidelidade::dtsBrindeStateChange(QObject*)
{
    guarded([&] {
        const bool comBrinde = cdsBrinde->active() && !cdsBrinde->isEmpty();
        blbCancelaBrinde->setEnabled(comBrinde);
        blbConfirma->setEnabled(comBrinde);
    });
}

void moveAnterior(ClientDataSet* ds)
{
    // Also usable while the list is not open: it then does nothing.
    if (ds && ds->active() && !ds->isEmpty() && !ds->bof() && ds->recNo() > 1)
        ds->prior();
}

void moveProximo(ClientDataSet* ds)
{
    if (ds && ds->active() && !ds->isEmpty() && ds->recNo() < ds->recordCount())
        ds->next();
}

void TfrmFidelidade::blbAnteriorCampClick(QObject*) { guarded([&] { moveAnterior(cdsCampanha); }); }
void TfrmFidelidade::blbProximoCampClick(QObject*) { guarded([&] { moveProximo(cdsCampanha); }); }
void TfrmFidelidade::blbAnteriorBrindeClick(QObject*) { guarded([&] { moveAnterior(cdsBrinde); }); }
void TfrmFidelidade::blbProximoBrindeClick(QObject*) { guarded([&] { moveProximo(cdsBrinde); }); }

void TfrmFidelidade::MostraMensagem(const QString& chave, hostkit::TTipoMsg tipo, const QString& motivo,
                                    const QStringList& valores)
{
    QString texto = msgPadrao->Msg(chave);
    for (const QString& v : valores)
        texto = texto.arg(v);
    // The reason is part of what the cashier reads: a line of its own under the text. The
    // other arguments are the screen's fixed ones (the second text stays empty).
    if (!motivo.trimmed().isEmpty())
        texto += QStringLiteral("\nMotivo: ") + motivo.trimmed();
    hostkit::Mensagem(texto, QString(), QStringLiteral("N"), QStringLiteral("N"), tipo, QString(), stIdEsquema, 0,
                      nullptr);
}

QVariant TfrmFidelidade::NovoRetorno()
{
    return QVariantList(10);
}

}  // namespace Cli_Vak04100
