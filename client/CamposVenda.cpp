#include "client/CamposVenda.h"

namespace Cli_Vak04100 {

using platform::FieldDef;
using platform::FieldType;

namespace {

// Short names keep the field lists below one column of a table.
FieldDef texto(const char* nome, int tamanho = 20) { return FieldDef::text(QString::fromLatin1(nome), tamanho); }
FieldDef fixo(const char* nome, int tamanho) { return FieldDef::fixedText(QString::fromLatin1(nome), tamanho); }
FieldDef real(const char* nome) { return FieldDef::number(QString::fromLatin1(nome)); }
FieldDef inteiro(const char* nome) { return FieldDef::integer(QString::fromLatin1(nome)); }
FieldDef logico(const char* nome) { return FieldDef::boolean(QString::fromLatin1(nome)); }
FieldDef dataHora(const char* nome) { return FieldDef::dateTime(QString::fromLatin1(nome)); }
FieldDef data(const char* nome) { return FieldDef::date(QString::fromLatin1(nome)); }

}  // namespace

platform::FieldDefs camposMovCaixa()
{
    platform::FieldDefs f{
        texto("CDFILIAL", 4),        texto("NRSEQUMOVI", 10),    texto("IDTIPOMOVIVE", 1),
        texto("DSMOVIVEND", 250),    texto("NRSEQVENDA", 10),    texto("CDTIPORECE", 3),
        dataHora("DTHRINCMOV"),      dataHora("DTDEPCHEQUE"),    texto("NRCONTRAVALE", 10),
        texto("CDTIPOTROCO", 3),     real("VRMOVIVEND"),         texto("NMTIPORECE", 40),
        texto("NRORDTROCO", 3),      texto("CDCLIENTE", 21),     texto("CDCONSUMIDOR", 21),
        data("DTMOVIMCAIXA"),        real("VRMOVIVEOUT"),        real("VRCOTINDOUT"),
        texto("CDAGECHEQVEN", 5),    texto("CDBANCHEQVEN", 3),   texto("CDCNTCHEQVEN", 16),
        dataHora("DTDEPCHEQVEN"),    texto("NRCHEQUEVEND", 6),   texto("DSIMPFISCAL", 50),
        texto("IDTIPORECE", 1),      texto("CDFPIMPFIS", 10),    texto("NRCARTBANCO", 10),
        texto("CDBANCARTCR", 10),    texto("CDTIPORECEORIG", 3), texto("CDCCUSCLIE", 10),
        texto("CDNSUHOSTTEF", 50),   texto("NMTIPORECEORIG", 40), real("QTPARCRECEB"),
        texto("NRCONTROLTEF", 50),   texto("NMBANDTEF", 100),    texto("NRAUTORIZATEF", 50),
        texto("IDFILAPAGMFE", 10),   texto("CDAUTORIZMFE", 10),  texto("CDBINCARTMFE", 10),
        texto("NMINSTFINMFE", 50),   texto("CDPAGAMENMFE", 10),  texto("CDNSUTEF", 50),
        texto("DSCARTDIGITAL", 100),
    };
    for (int i = 0; i < 9; ++i)
        f[i].visible = false;
    f[10].displayLabel = QStringLiteral("Valor");
    f[10].displayFormat = QStringLiteral("#,##0.00");
    f[11].displayLabel = QStringLiteral("Recebimento");
    return f;
}

platform::FieldDefs camposVenda()
{
    return {
        texto("CDFILIAL", 4),        texto("NRVENDAREST", 10),   texto("NRCOMANDA", 10),
        texto("CDPRODUTO", 10),      texto("IDPRODIMPFIS", 1),   texto("NRPRODCOMVEN", 6),
        real("QTPRODCOMVEN"),        real("VRPRECCOMVEN"),       texto("IDSTPRCOMVEN", 1),
        real("VRDESCCOMVEN"),        texto("NRLUGARMESA", 3),    texto("CDGRPOCOR", 2),
        texto("CDOCORR", 2),         texto("NRMESAORIG", 4),     texto("CDLOJAORIG", 10),
        texto("CDARVPROD", 20),      texto("NMPRODUTO", 50),     texto("CDVENDEDOR", 4),
        dataHora("DTHRABERMESA"),    dataHora("DTHRFECHMESA"),   real("VRDESCOMANDA"),
        fixo("NRCUPOMFIS", 10),      texto("CDOPERADOR", 12),    texto("CDLOJA", 10),
        texto("IDTPIMPOSFIS", 1),    texto("CDIMPOSTO", 2),      fixo("IDTPFORPGVEN", 1),
        texto("CDEMPRESA", 2),       real("VRTXSERVICO"),        real("VRCONSUMAMIN"),
        texto("VRPEALIMPFIS", 100),  texto("CDLOJAIT", 10),      texto("IDCONFIGPROD", 10),
        texto("NMOPERADOR", 50),     texto("NMLOJA", 50),        dataHora("DTABERCAIX"),
        real("VRACRCOMANDA"),        texto("CDFAMILISALD", 3),   texto("CDSERVFILI", 5),
        texto("NMCONSVEND", 50),     texto("NRINSCRCONS", 20),   texto("SGUNIDADE", 10),
        texto("NRSEQ", 3),           real("VRUNITVENDCL"),       real("ACRESITEM"),
        texto("CDPRODPROMOCAO", 20), texto("NRCONTCUPOMFISC", 10), texto("CDORDALIQIMPR", 5),
        real("VRALIQIMPR"),          texto("DSENDEVENDA", 60),   texto("NRSUBSERIEVND", 50),
        texto("NRORDEMVND", 50),     texto("NRSERIEVND", 50),    texto("CDVENDEDORITEM", 4),
        real("VRREPIQUEVENDA"),      real("VRACRCOMVEN"),        texto("NRMESA", 4),
        texto("CDCLIENTE", 21),      texto("CDCONSUMIDOR", 21),  texto("CDPREFINTGCOLVEN", 10),
        inteiro("NRPESMESAVEN"),     texto("DSOBSCANCUP", 100),  texto("DSOBSDESC", 100),
        texto("CDGRPOCORDESC", 2),   texto("CDPRODIMPFIS", 20),  texto("NMCONSUMIDOR", 50),
        texto("CDEXCONSUMID", 21),   dataHora("DTCHECKINPH"),    dataHora("DTCHECKOUTPH"),
        texto("CDRESERVAPH", 30),    texto("CDNATPRODUTO", 2),
    };
}

platform::FieldDefs camposParamImpCupNF()
{
    return {
        texto("CDIDCONSUMID", 25),     texto("NMCONSUMIDOR", 50),    texto("NRSEQVENDA", 50),
        texto("NRNAOFISCAL", 20),      logico("BOIMPREDZEPSON"),     texto("VENDAREALIZADA", 2),
        real("TOTALPAGO"),             real("DOVALACR"),             texto("DSCOMANDA", 20),
        real("VRCOUVERT"),             real("VRCONSUMACA"),          real("VRTXSERVICO"),
        texto("CDPRODCOUVER", 10),     texto("CDPRODCONSUM", 10),    texto("stIdTipoImpNF1", 5),
        texto("stIdTipoImpNF2", 5),    texto("stCdPortImpNF1", 5),   texto("stCdPortImpNF2", 5),
        texto("stIdVendImpNF1", 5),    texto("stIdVendImpNF2", 5),   texto("STIDPAISINTEGRA", 2),
        texto("stRedZLeituraX", 1),    texto("stImpFechaCaixa", 1),  texto("stImpRelProduto", 1),
        texto("stImpRedZLeituX", 1),   texto("stNrSerieECF", 50),    dataHora("DTABERTURACAIXA"),
        texto("stRelProdutoDia", 1),   texto("NRMESA", 4),           texto("BUSCANRPESSOAS", 1),
        texto("NRPESMESAALT", 5),      texto("NMVENDEDOR", 50),      texto("AGRUPADO", 1),
        texto("COBRATAXA_FECHAMENTO", 1), texto("COBRACOUVER_FECHAMENTO", 1),
        texto("COBRACONSUMACAO_FECHAMENTO", 1), texto("NRPESSOAS", 5), texto("CDCLIENTE", 21),
        texto("TIPOCONTA", 50),        real("VRBASECONSUM"),         texto("STIMPPOSOBS", 1),
        texto("TIPOVENDA", 1),         texto("IDAMBTRABNFCE", 1),    texto("DATAEMISSNFCE", 30),
        texto("CHAVEACESSONFCe", 55),  texto("STIBPT", 10),          texto("STIBPTES", 10),
        texto("SENHACUPOM", 6),        texto("PROTAUTNFCE", 30),     texto("IDIMPCOMPCUPVEN", 1),
        texto("QRCODENFCe", 8000),     texto("IDREIMPRNFCE", 10),
    };
}

}  // namespace Cli_Vak04100
