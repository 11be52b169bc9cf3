// Opening the screen: the data module, the terminal's files, the first data, the footer.
#include "client/Cli_Vak04100.h"
#include "client/Selecao.h"

#include "platform/Error.h"
#include "platform/system/ProgramDirectory.h"
#include "server/Srv_Vak04100.h"
#include "terminal/DocumentKind.h"
#include "terminal/TerminalFiles.h"

#include <QDir>

namespace Cli_Vak04100 {

namespace {

// The terminal file `arquivo` under the host directory, found whatever its letter case (terminal
// folders are copied from Windows); empty when there is none.
QString arquivoDoHost(terminal::File arquivo)
{
    return terminal::findHostFile(QString::fromLatin1(terminal::fileDef(arquivo).relative));
}

// The file's data in `ds`, when the terminal has the file; false when it has none.
bool carregaDoHost(ClientDataSet& ds, terminal::File arquivo)
{
    const QString caminho = arquivoDoHost(arquivo);
    if (caminho.isEmpty())
        return false;
    ds.loadFromFile(caminho);
    return true;
}

// Step 2: the terminal parameters, which the screen cannot do without. There is no
// short path form here: the path serves as is.
void carregaParametros(TfrmFidelidade& f)
{
    const QString parametros = arquivoDoHost(terminal::File::Parametros);
    if (parametros.isEmpty())  // named as missing, not as a field the empty dataset lacks
        throw platform::Error(QStringLiteral("O arquivo de parâmetros do terminal %1 não foi encontrado.")
                                  .arg(QDir(platform::programDirectory())
                                           .filePath(QString::fromLatin1(terminal::fileDef(terminal::File::Parametros).relative))));
    f.cdsParametrosQvn->loadFromFile(parametros);
    if (!f.cdsParametrosQvn->active())
        f.cdsParametrosQvn->open();
    // A file without a row would open the screen with every parameter empty.
    if (f.cdsParametrosQvn->recordCount() == 0)
        throw platform::Error(QStringLiteral("O arquivo de parâmetros do terminal %1 não tem nenhum registro.").arg(parametros));
}

// Step 4: the host data, under the directory the parameters name.
void carregaDadosHost(TfrmFidelidade& f)
{
    const QString dirCad = f.cdsParametrosQvn->fieldByName(QStringLiteral("DSDIRCAD")).asString();
    const QString quorvan = terminal::findInDirectoryText(dirCad + QLatin1String(terminal::kHostDataFile));
    if (quorvan.isEmpty())
        return;
    f.cdsDadosQuorvan->loadFromFile(quorvan);
    if (!f.cdsDadosQuorvan->active())
        f.cdsDadosQuorvan->open();
    const QString md5 = f.cdsDadosQuorvan->fieldByName(QStringLiteral("MD5ARQUIVOTXT")).asString();
    f.stMd5 = QStringLiteral("MD-5:") + hostkit::Uncripto(md5, kChaveCripto);
}

// Steps 3 and 5 to 8: the terminal's other files; a missing one leaves its values empty.
void carregaArquivosTerminal(TfrmFidelidade& f)
{
    carregaDoHost(*f.cdsAliqImpFis, terminal::File::AliqImpFis);
    carregaDadosHost(f);
    if (carregaDoHost(*f.cdsControleAcess, terminal::File::ControleAcess)) {
        f.stCdOperador = f.cdsControleAcess->fieldByName(QStringLiteral("CDOPERADOR")).asString();
        f.stNmOperador = f.cdsControleAcess->fieldByName(QStringLiteral("NMOPERADOR")).asString();
    }
    carregaDoHost(*f.cdsConfTipoRece, terminal::File::ConfTipoRece);
    if (carregaDoHost(*f.cdsDataMovimento, terminal::File::DataMovimento))
        f.dtMovimento = f.cdsDataMovimento->fieldByName(QStringLiteral("DATAMOVIMENTO")).asDateTime();
    // The SAT activation code, only on SAT terminals.
    if (f.boSistemaSat && carregaDoHost(*f.cdsValidaAbertura, terminal::File::AberturaCaixa)) {
        const QString codigo = f.cdsValidaAbertura->fieldByName(QStringLiteral("CDATIVACAOSAT")).asString();
        f.stCdAtivacaoSat = hostkit::Uncripto(codigo, kChaveCripto);
    }
}

// Step 10: the given consumer's balances, or the consumer list.
void mostraPrimeirosDados(TfrmFidelidade& f)
{
    if (!f.stArgCdConsumidor.isEmpty()) {
        f.stCdConsumidor = f.stArgCdConsumidor;
        f.stNmConsumidor = f.stArgNmConsumidor;
        f.stNrCpfConsumidor = f.stArgNrCpf;
        f.stDsEndeConsumidor = f.stArgDsEndereco;
        f.stCdCliente = f.stArgCdCliente;
        f.lblConsumidor->setText(f.stNmConsumidor);
        f.blbPesqConsumidor->setEnabled(false);
        f.CarregaSaldos();
        return;
    }
    const QVariant lista = hostkit::MensagemMetodo(Srv_Vak04100::GetConsumidor(), true, 0,
                                                   QStringLiteral("GetConsumidor"), QStringLiteral("Cli_Vak04100"),
                                                   {}, QStringLiteral("002"));
    f.cdsConsumidor->setData(lista);
    apresentaConsumidores(*f.cdsConsumidor);
}

}  // namespace

void TfrmFidelidade::InicializaForm()
{
    using Srv_Vak04100::rdmFidelidade;
    // 1. The data module, connected.
    if (!rdmFidelidade)
        rdmFidelidade = new Srv_Vak04100::TrdmFidelidade(nullptr);
    rdmFidelidade->adcFidelidade->setConnected(true);

    // 2. Terminal parameters; 3 to 8, the other files of the terminal.
    carregaParametros(*this);
    leParametros();
    carregaArquivosTerminal(*this);

    // 9. Grids.
    dbgCampanha->setDefaultColors(true);
    dbgBrinde->setDefaultColors(true);

    // 10. First data.
    mostraPrimeirosDados(*this);

    // 11. Footer.
    if (boSistemaLumivend || boSistemaNfce)
        lblCodTela->setText(hostkit::MontaRodapeGeral(false, QStringLiteral("VAK04100"), QStringLiteral("N")));
    else
        lblCodTela->setText(hostkit::MontaRodapeGeral(true, QStringLiteral("VAK04100"), QStringLiteral("S")));
}

void TfrmFidelidade::leParametros()
{
    using P = terminal::Param;
    const terminal::Parameters p = terminal::Parameters::read(*cdsParametrosQvn);
    stIdEsquema = p.text(P::IDESQUEMA);
    stNrSerieImp = p.text(P::NRSERIEIMP);
    stDsDirCad = p.text(P::DSDIRCAD);
    stCdFilial = p.text(P::CDFILIAL);
    stCdLoja = p.text(P::CDLOJA);
    stNmLoja = p.text(P::NMLOJA);
    stCdCaixa = p.text(P::CDCAIXA);
    stCdCliente = p.text(P::CDCLIENTE);
    inCor1 = p.integer(P::INCOR1);
    inCor2 = p.integer(P::INCOR2);
    inCor3 = p.integer(P::INCOR3);
    inCor4 = p.integer(P::INCOR4);
    inCor5 = p.integer(P::INCOR5);
    inCor6 = p.integer(P::INCOR6);
    stTotCv = p.text(P::STTOTCV);
    inTipoImpFis = p.integer(P::IDTIPOIMPFIS);
    stIdUtilTef = p.text(P::IDUTILTEF);
    stDsObsCupFis = p.text(P::DSOBSCUPFIS);
    stIdImpSaldoCupom = p.text(P::IDIMPSALDOCUPOM);
    stIdTpTelaVe = p.text(P::IDTPTELAVE);
    stDsMensCpfCup = p.text(P::DSMENSCPFCUP);
    stIdImprCupTefRed = p.text(P::IDIMPRCUPTEFRED);
    stCdCCusClie = p.text(P::CDCCUSCLIE);
    dtAberCaix = p.dateTime(P::DTABERCAIX);
    stCdEmpresa = p.text(P::CDEMPRESA);
    stIdPaisIntegra = p.text(P::IDPAISINTEGRA);
    stDsModeloEcf = p.text(P::DSMODELOECFVE);
    stDsMarcaEcf = p.text(P::DSMARCAECFVE);
    stEcfImp = p.text(P::ECFIMP);
    stCdPrefIntgCol = p.text(P::CDPREFINTGCOL);
    boSistemaLumivend = p.flag(P::SISTEMALUMIVEND);
    boSistemaNfce = p.flag(P::SISTEMAQVNNFCE);
    boSistemaSat = p.flag(P::SISTEMAQVNSAT);
    tpDocumento = terminal::documentKind(p);  // NFC-e when both flags are set
    stSgEstadoFili = p.text(P::SGESTADOFILI);
    stNrInsJurEmpr = p.text(P::NRINSJUREMPR);
    stCdInscEstaEmpr = p.text(P::CDINSCESTAEMPR);
    stIdParImprLimVdc = p.text(P::IDPARIMPRLIMVDC);
    boUtilizaImpFis = p.flag(P::UTILIZAIMPFIS);
    stIdAmbTrabNfce = p.text(P::IDAMBTRABNFCE);
    stIdImpCompCupVen = p.text(P::IDIMPCOMPCUPVEN);
    stIdUtilSatComp = p.text(P::IDUTILSATCOMP);
}

}  // namespace Cli_Vak04100
