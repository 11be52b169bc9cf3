// Opening the screen: the data module, the terminal's files, the first data, the footer.
#include "client/Cli_Vak04100.h"
#include "client/Selecao.h"

#include "platform/Error.h"
#include "server/Srv_Vak04100.h"
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

}  // namespace

void TfrmFidelidade::InicializaForm()
{
    using Srv_Vak04100::rdmFidelidade;
    // 1. The data module, connected.
    if (!rdmFidelidade)
        rdmFidelidade = new Srv_Vak04100::TrdmFidelidade(nullptr);
    rdmFidelidade->adcFidelidade->setConnected(true);

    // 2. Terminal parameters. There is no short path form here: the path serves as is.
    const QString parametros = arquivoDoHost(terminal::File::Parametros);
    if (parametros.isEmpty())  // named as missing, not as a field the empty dataset lacks
        throw platform::Error(QStringLiteral("O arquivo de parâmetros do terminal %1 não foi encontrado.")
                                  .arg(QDir(hostkit::hostDirectory())
                                           .filePath(QString::fromLatin1(terminal::fileDef(terminal::File::Parametros).relative))));
    if (!parametros.isEmpty()) {
        cdsParametrosQvn->loadFromFile(parametros);
        if (!cdsParametrosQvn->active())
            cdsParametrosQvn->open();
        // A file without a row would open the screen with every parameter empty.
        if (cdsParametrosQvn->recordCount() == 0)
            throw platform::Error(
                QStringLiteral("O arquivo de parâmetros do terminal %1 não tem nenhum registro.").arg(parametros));
        leParametros();
    }

    // 3. Tax rates.
    const QString aliquotas = arquivoDoHost(terminal::File::AliqImpFis);
    if (!aliquotas.isEmpty())
        cdsAliqImpFis->loadFromFile(aliquotas);

    // 4. Host data. DSDIRCAD is read again, whether or not step 2 found the file: without
    //    the parameter file this read fails and stops the opening.
    const QString dirCad = cdsParametrosQvn->fieldByName(QStringLiteral("DSDIRCAD")).asString();
    const QString quorvan = terminal::findInDirectoryText(dirCad + QLatin1String(terminal::kHostDataFile));
    if (!quorvan.isEmpty()) {
        cdsDadosQuorvan->loadFromFile(quorvan);
        if (!cdsDadosQuorvan->active())
            cdsDadosQuorvan->open();
        const QString md5 = cdsDadosQuorvan->fieldByName(QStringLiteral("MD5ARQUIVOTXT")).asString();
        stMd5 = QStringLiteral("MD-5:") + hostkit::Uncripto(md5, kChaveCripto);
    }

    // 5. Access control.
    const QString controle = arquivoDoHost(terminal::File::ControleAcess);
    if (!controle.isEmpty()) {
        cdsControleAcess->loadFromFile(controle);
        stCdOperador = cdsControleAcess->fieldByName(QStringLiteral("CDOPERADOR")).asString();
        stNmOperador = cdsControleAcess->fieldByName(QStringLiteral("NMOPERADOR")).asString();
    }

    // 6. Receipt types.
    const QString tipos = arquivoDoHost(terminal::File::ConfTipoRece);
    if (!tipos.isEmpty())
        cdsConfTipoRece->loadFromFile(tipos);

    // 7. Business date.
    const QString data = arquivoDoHost(terminal::File::DataMovimento);
    if (!data.isEmpty()) {
        cdsDataMovimento->loadFromFile(data);
        dtMovimento = cdsDataMovimento->fieldByName(QStringLiteral("DATAMOVIMENTO")).asDateTime();
    }

    // 8. SAT activation code, only on SAT terminals.
    if (boSistemaSat) {
        const QString abertura = arquivoDoHost(terminal::File::AberturaCaixa);
        if (!abertura.isEmpty()) {
            cdsValidaAbertura->loadFromFile(abertura);
            const QString codigo = cdsValidaAbertura->fieldByName(QStringLiteral("CDATIVACAOSAT")).asString();
            stCdAtivacaoSat = hostkit::Uncripto(codigo, kChaveCripto);
        }
    }

    // 9. Grids.
    dbgCampanha->setDefaultColors(true);
    dbgBrinde->setDefaultColors(true);

    // 10. First data: the given consumer's balances, or the consumer list.
    if (!stArgCdConsumidor.isEmpty()) {
        stCdConsumidor = stArgCdConsumidor;
        stNmConsumidor = stArgNmConsumidor;
        stNrCpfConsumidor = stArgNrCpf;
        stDsEndeConsumidor = stArgDsEndereco;
        stCdCliente = stArgCdCliente;
        lblConsumidor->setText(stNmConsumidor);
        blbPesqConsumidor->setEnabled(false);
        CarregaSaldos();
    } else {
        const QVariant lista = hostkit::MensagemMetodo(Srv_Vak04100::GetConsumidor(), true, 0,
                                                       QStringLiteral("GetConsumidor"),
                                                       QStringLiteral("Cli_Vak04100"), {}, QStringLiteral("002"));
        cdsConsumidor->setData(lista);
        apresentaConsumidores(*cdsConsumidor);
    }

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
