// Opening the screen: the data module, the terminal's files, the first data, the footer.
#include "client/Cli_Vak04100.h"
#include "client/Selecao.h"

#include "server/Srv_Vak04100.h"

#include <QDir>
#include <QFileInfo>

namespace Cli_Vak04100 {

namespace {

// The file `relativo` under the host directory, found whatever its letter case (terminal
// folders are copied from Windows); empty when there is none.
QString arquivoDoHost(const QString& relativo)
{
    return hostkit::findFileIgnoringCase(hostkit::hostDirectory(), relativo);
}

// A file named by a directory text as the terminal stores it (DSDIRCAD, which may use
// backslashes) followed directly by a file name.
QString arquivoEmDiretorio(const QString& caminho)
{
    QString normal = caminho;
    normal.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo info(normal);
    if (info.fileName().isEmpty())
        return {};
    const QString dir = info.absolutePath();
    if (!QFileInfo(dir).isDir())
        return hostkit::findFileIgnoringCase(QDir::rootPath(), dir.mid(1) + QLatin1Char('/') + info.fileName());
    return hostkit::findFileIgnoringCase(dir, info.fileName());
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
    const QString parametros = arquivoDoHost(QStringLiteral("PARAMETROSQVN.CDS"));
    if (!parametros.isEmpty()) {
        cdsParametrosQvn->loadFromFile(parametros);
        if (!cdsParametrosQvn->active())
            cdsParametrosQvn->open();
        leParametros();
    }

    // 3. Tax rates.
    const QString aliquotas = arquivoDoHost(QStringLiteral("Dados/Cadastros/AliqImpFis.cds"));
    if (!aliquotas.isEmpty())
        cdsAliqImpFis->loadFromFile(aliquotas);

    // 4. Host data. DSDIRCAD is read again, whether or not step 2 found the file: without
    //    the parameter file this read fails and stops the opening.
    const QString dirCad = cdsParametrosQvn->fieldByName(QStringLiteral("DSDIRCAD")).asString();
    const QString quorvan = arquivoEmDiretorio(dirCad + QStringLiteral("QUORVAN.CDS"));
    if (!quorvan.isEmpty()) {
        cdsDadosQuorvan->loadFromFile(quorvan);
        if (!cdsDadosQuorvan->active())
            cdsDadosQuorvan->open();
        const QString md5 = cdsDadosQuorvan->fieldByName(QStringLiteral("MD5ARQUIVOTXT")).asString();
        stMd5 = QStringLiteral("MD-5:") + hostkit::Uncripto(md5, kChaveCripto);
    }

    // 5. Access control.
    const QString controle = arquivoDoHost(QStringLiteral("Dados/Cadastros/ControleAcess.cds"));
    if (!controle.isEmpty()) {
        cdsControleAcess->loadFromFile(controle);
        stCdOperador = cdsControleAcess->fieldByName(QStringLiteral("CDOPERADOR")).asString();
        stNmOperador = cdsControleAcess->fieldByName(QStringLiteral("NMOPERADOR")).asString();
    }

    // 6. Receipt types.
    const QString tipos = arquivoDoHost(QStringLiteral("Dados/Cadastros/ConfTipoRece.cds"));
    if (!tipos.isEmpty())
        cdsConfTipoRece->loadFromFile(tipos);

    // 7. Business date.
    const QString data = arquivoDoHost(QStringLiteral("Dados/Cadastros/DataMovimento.cds"));
    if (!data.isEmpty()) {
        cdsDataMovimento->loadFromFile(data);
        dtMovimento = cdsDataMovimento->fieldByName(QStringLiteral("DATAMOVIMENTO")).asDateTime();
    }

    // 8. SAT activation code, only on SAT terminals.
    if (boSistemaSat) {
        const QString abertura = arquivoDoHost(QStringLiteral("Dados/Cadastros/AberturaCaixa.cds"));
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
    auto texto = [this](const char* chave) {
        return cdsParametrosQvn->fieldByName(QString::fromLatin1(chave)).asString();
    };
    auto inteiro = [this](const char* chave) {
        return cdsParametrosQvn->fieldByName(QString::fromLatin1(chave)).asInteger();
    };
    auto logico = [this](const char* chave) {
        return cdsParametrosQvn->fieldByName(QString::fromLatin1(chave)).asBoolean();
    };
    stIdEsquema = texto("IDESQUEMA");
    stNrSerieImp = texto("NRSERIEIMP");
    stDsDirCad = texto("DSDIRCAD");
    stCdFilial = texto("CDFILIAL");
    stCdLoja = texto("CDLOJA");
    stNmLoja = texto("NMLOJA");
    stCdCaixa = texto("CDCAIXA");
    stCdCliente = texto("CDCLIENTE");
    inCor1 = inteiro("INCOR1");
    inCor2 = inteiro("INCOR2");
    inCor3 = inteiro("INCOR3");
    inCor4 = inteiro("INCOR4");
    inCor5 = inteiro("INCOR5");
    inCor6 = inteiro("INCOR6");
    stTotCv = texto("STTOTCV");
    inTipoImpFis = inteiro("IDTIPOIMPFIS");
    stIdUtilTef = texto("IDUTILTEF");
    stDsObsCupFis = texto("DSOBSCUPFIS");
    stIdImpSaldoCupom = texto("IDIMPSALDOCUPOM");
    stIdTpTelaVe = texto("IDTPTELAVE");
    stDsMensCpfCup = texto("DSMENSCPFCUP");
    stIdImprCupTefRed = texto("IDIMPRCUPTEFRED");
    stCdCCusClie = texto("CDCCUSCLIE");
    dtAberCaix = cdsParametrosQvn->fieldByName(QStringLiteral("DTABERCAIX")).asDateTime();
    stCdEmpresa = texto("CDEMPRESA");
    stIdPaisIntegra = texto("IDPAISINTEGRA");
    stDsModeloEcf = texto("DSMODELOECFVE");
    stDsMarcaEcf = texto("DSMARCAECFVE");
    stEcfImp = texto("ECFIMP");
    stCdPrefIntgCol = texto("CDPREFINTGCOL");
    boSistemaLumivend = logico("SISTEMALUMIVEND");
    boSistemaNfce = logico("SISTEMAQVNNFCE");
    boSistemaSat = logico("SISTEMAQVNSAT");
    stSgEstadoFili = texto("SGESTADOFILI");
    stNrInsJurEmpr = texto("NRINSJUREMPR");
    stCdInscEstaEmpr = texto("CDINSCESTAEMPR");
    stIdParImprLimVdc = texto("IDPARIMPRLIMVDC");
    boUtilizaImpFis = logico("UTILIZAIMPFIS");
    stIdAmbTrabNfce = texto("IDAMBTRABNFCE");
    stIdImpCompCupVen = texto("IDIMPCOMPCUPVEN");
    stIdUtilSatComp = texto("IDUTILSATCOMP");
}

}  // namespace Cli_Vak04100
