#pragma once
// Cli_Vak04100: the loyalty-programme redemption screen ("Programa de Fidelidade").
//
// TfrmFidelidade is the one window of the module. It owns every component of its
// layout (labels, picture buttons, the two grids) and its client datasets; the data
// module (rdmFidelidade) is created by InicializaForm and released by the entry,
// CriaFidelidade, after the form. The working fields below (st…, in…, bo…, dt…, vo…)
// are the screen state that the initialisation fills and the later steps of a
// redemption read.
//
// Event handlers never let an error out: each runs inside one guard that hands an
// escaped error to the application's standard error display and leaves the screen open.
// InicializaForm does throw (platform::Error and what the host libraries raise); the
// entry catches it.

#include "Vak04100Export.h"
#include "client/Chave.h"
#include "client/Resgate.h"
#include "hostapi/ParamRecord.h"
#include "hostapi/hostkit.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/ui/DataGrid.h"

#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QStringList>
#include <QVariant>

namespace Cli_Vak04100 {

using hostkit::TBlendedBitBtn;
using platform::ClientDataSet;

// The rectangle that draws the borderless window's frame.
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);
    QColor penColor = QColor(0xCC, 0x5B, 0x2C);
    int penWidth = 2;

protected:
    void paintEvent(QPaintEvent*) override;
};

class TfrmFidelidade : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFidelidade(QWidget* owner = nullptr);
    ~TfrmFidelidade() override;

    // ---- entry arguments, kept until InicializaForm -----------------------------------
    QString stArgCdConsumidor, stArgNmConsumidor, stArgNrCpf, stArgDsEndereco, stArgCdCliente;

    // ---- terminal parameters (PARAMETROSQVN.CDS), in the order they are read -----------
    QString stIdEsquema, stNrSerieImp, stDsDirCad, stCdFilial, stCdLoja, stNmLoja, stCdCaixa,
        stCdCliente;
    int inCor1 = 0, inCor2 = 0, inCor3 = 0, inCor4 = 0, inCor5 = 0, inCor6 = 0;
    QString stTotCv;
    int inTipoImpFis = 0;
    QString stIdUtilTef, stDsObsCupFis, stIdImpSaldoCupom, stIdTpTelaVe, stDsMensCpfCup,
        stIdImprCupTefRed, stCdCCusClie;
    QDateTime dtAberCaix;
    QString stCdEmpresa, stIdPaisIntegra, stDsModeloEcf, stDsMarcaEcf, stEcfImp, stCdPrefIntgCol;
    bool boSistemaLumivend = false, boSistemaNfce = false, boSistemaSat = false;
    QString stSgEstadoFili, stNrInsJurEmpr, stCdInscEstaEmpr, stIdParImprLimVdc;
    bool boUtilizaImpFis = false;
    QString stIdAmbTrabNfce, stIdImpCompCupVen, stIdUtilSatComp;

    // ---- other terminal files ------------------------------------------------------------
    QString stMd5;                 // "MD-5:" + decoded MD5ARQUIVOTXT
    QString stCdOperador, stNmOperador;
    QDateTime dtMovimento;         // business date
    QString stCdAtivacaoSat;       // decoded; never displayed

    // ---- the chosen consumer ----------------------------------------------------------------
    QString stCdConsumidor, stNmConsumidor, stNrCpfConsumidor, stDsEndeConsumidor;

    // ---- results of host calls and of the sale ---------------------------------------------
    QVariant voRetorno;            // result array of the last host call that takes it
    QString stNrSeqVenda;          // sale sequence number left by the sale issue

    // ---- receipt and sale ----------------------------------------------------------------
    // The receipt (ImprimeCupom): number and counter of the last opening, the daily
    // password (drawn once per screen), element 2 of the closing's result, the product's
    // fiscal codes of the current gift, the sum of the registered prices.
    QString stCupNr, stContCupom, stSenhaCupom, stRetFechaCupom;
    QVariant voCestNcm;
    double vrTotCupom = 0;
    // The electronic document (GeraVenda): NFC-e series, number and emission date; access
    // key, QR-code text and protocol; the CF-e number and the SAT device's answer.
    QString stNrSerieNfce, stNrNfce, stDataEmissNfce, stChaveAcesso, stQrCode, stProtAutNfce, stNrCfe;
    QStringList slRetornoSat;
    // The document the terminal issues (receipt, NFC-e or SAT), worked out at the opening.
    terminal::DocumentKind tpDocumento = terminal::DocumentKind::Receipt;
    // How far the current redemption went, for its undo and for what the operator is told
    // (client/Resgate.h).
    EstadoResgate resgate;

    // Steps of a redemption (each described where it is defined), each updating `resgate`.
    // ImprimeCupom returns false after telling how its receipt ended; GeraVenda returns
    // false and leaves the telling to the confirmation, which knows what could be undone.
    // All of them let errors of the host libraries, the data service and the datasets
    // through to the confirmation.
    bool ImprimeCupom();
    void InsereMovCaixa();
    void PreencheVenda();
    void PreencheParamImpCupNF();
    bool GeraVenda();
    void CancelaVenda();
    // The field lists of the sale's datasets (set while the dataset is inactive).
    void DefineCamposMovCaixa();
    void DefineCamposVenda();
    void DefineCamposParamImpCupNF();
    // cdsVenda open and empty: nothing of an earlier redemption (confirmation, step 2).
    void LimpaVenda();
    // Forgets how far the previous redemption went (confirmation, step 2).
    void IniciaResgate();
    // Cancels this redemption's receipt on the printer (the receipt's own block when
    // `doProprioCupom`, the confirmation's otherwise). True when the printer cancelled it;
    // a refusal or an error is kept among the reasons and never escapes.
    bool CancelaCupom(bool doProprioCupom);
    // Tells the operator how the redemption stands now (desfecho of `resgate`), with the
    // reasons of what failed; nothing when it ended as a plain success.
    void InformaDesfecho();
    // ---- end of receipt and sale ---------------------------------------------------------

    // ---- visual components ------------------------------------------------------------------
    TShape* Shape1;
    QLabel *lblTitulo, *lblConsumidorInf, *lblConsumidor, *lblBrinde;
    QLabel *lblPesqConsumidor, *lblCancelaBrinde, *lblPesqBrinde, *lblCodTela;
    TBlendedBitBtn *blbPesqConsumidor, *blbPesqBrinde, *blbCancelaBrinde, *blbConfirma;
    TBlendedBitBtn *blbAnteriorCamp, *blbProximoCamp, *blbAnteriorBrinde, *blbProximoBrinde;
    TBlendedBitBtn* lblSair;
    QWidget *panCampanha, *panBrinde;
    platform::ui::DataGrid *dbgCampanha, *dbgBrinde;

    // ---- non-visual components ----------------------------------------------------------------
    ClientDataSet *cdsCampanha, *cdsBrinde, *cdsConsumidor, *cdsPesqBrinde, *cdsAliqImpFis,
        *cdsParametrosQvn, *cdsDadosQuorvan, *cdsControleAcess, *cdsDataMovimento,
        *cdsValidaAbertura, *cdsConfTipoRece, *cdsMovCaixa, *cdsVenda, *cdsParamImpCupNF,
        *cdsVendaCancelada, *cdsFamiliaSaldo, *cdsEmprestimoFam, *cdsItPromoComb, *cdsVazio,
        *cdsSaldoCred;
    hostkit::TMessages* msgPadrao;

    // ---- initialisation -----------------------------------------------------------------------
    void InicializaForm();  // throws

    // ---- event handlers (guarded: never throw) -----------------------------------------------
    void lblSairClick(QObject* sender);
    void blbPesqConsumidorClick(QObject* sender);
    void blbAnteriorCampClick(QObject* sender);
    void blbProximoCampClick(QObject* sender);
    void blbAnteriorBrindeClick(QObject* sender);
    void blbProximoBrindeClick(QObject* sender);
    void blbPesqBrindeClick(QObject* sender);
    void blbCancelaBrindeClick(QObject* sender);
    void blbConfirmaClick(QObject* sender);
    void dtsBrindeStateChange(QObject* sender);
    void dtsCampanhaStateChange(QObject* sender);
    void cdsBrindeAfterPost(QObject* sender);
    // The key map. `key` is the key code (Qt::Key), `shift` the modifier state.
    void FormKeyDown(QObject* sender, int& key, Qt::KeyboardModifiers shift);

    // Shows the text of message `chave` of msgPadrao with the screen's nine arguments: the
    // text with its %1, %2... replaced by `valores` and, when there is one, a last line
    // "Motivo: " + `motivo` (the reason of a failure).
    void MostraMensagem(const QString& chave, hostkit::TTipoMsg tipo, const QString& motivo = {},
                        const QStringList& valores = {});
    // Creates cdsBrinde's fields (the selected gifts); it stays inactive.
    void DefineCamposBrinde();
    // Reloads cdsCampanha from GetSaldoConsCamp for the chosen consumer.
    void CarregaSaldos();

    // A fresh result array for a host call: 10 null variants, indices 0 to 9.
    static QVariant NovoRetorno();

    // The component of that name (for the host program's "click NAME"), or nullptr.
    QWidget* componente(const QString& nome) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The receipt after its opening (ImprimeCupom, steps 2 to 10).
    bool imprimeCupomAberto(hostapi::ParamRecord& registro, int itemTrabalho);
    bool falhaCupomAberto(const QString& motivo);
    void sorteiaSenha();
    void leParametros();
    void criaComponentes();
    void criaBotoes();
    void criaGrades();
    void criaDataSets();
    void ligaEventos();
    // Inserts the chosen catalogue row into cdsBrinde at the price in `resposta`.
    void insereBrinde(const QString& resposta);
    struct TeclaVista {
        const QEvent* evento = nullptr;
        int tecla = 0;
        Qt::KeyboardModifiers modificadores;
        quint64 momento = 0;
        bool operator==(const TeclaVista&) const = default;
    };
    TeclaVista ultimaTecla_;  // the key press the screen acted on last
};

// Moves `ds` one row back (forward) and leaves it where it is at the first (last) row or
// while it is not open or empty.
void moveAnterior(ClientDataSet* ds);
void moveProximo(ClientDataSet* ds);

// The entry: opens the redemption screen for a consumer (or, with an empty first argument,
// for one chosen on the screen) and returns when it is closed. Never throws.
void CriaFidelidade(const char16_t* cdConsumidor, const char16_t* nmConsumidor,
                    const char16_t* nrCpf, const char16_t* dsEndereco, const char16_t* cdCliente);
// The same with Qt strings, for callers inside the process.
void CriaFidelidadeQt(const QString& cdConsumidor, const QString& nmConsumidor,
                      const QString& nrCpf, const QString& dsEndereco, const QString& cdCliente);

}  // namespace Cli_Vak04100

// The module-level variables: the open form and the data module, empty between calls.
extern "C" {
VAK04100_EXPORT extern Cli_Vak04100::TfrmFidelidade* frmFidelidade;
}
