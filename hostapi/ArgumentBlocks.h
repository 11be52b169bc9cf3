#pragma once
// The argument blocks of the host libraries: every position of every block by name, and
// each block's size. A block travels as a QVariantList together with its highest index
// (not its length); both sides derive that index from the size here and touch a block
// only through these names.
//
// Positions named ReservadoN hold a fixed filler the host does not read (an empty text,
// 0, false or null, as the module fills them); FixoN positions hold a fixed text the
// host may read. The module builds a block with ArgumentBlock, the host reads one with
// BlockReader, which checks the size once and names the block when it does not fit.

#include "platform/Error.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <initializer_list>
#include <utility>

namespace hostapi::block {

// fiscaldev FechaCupom: the receipt's closing.
struct FechaCupom {
    static constexpr const char* name = "FechaCupom";
    enum Index : int {
        TotCv, Md5, IdEsquema, TipoImpFis, Reservado4, Reservado5,
        Desconto,  // the gifts' total less 0.01, cut to two decimals
        Reservado7, Reservado8, IdUtilTef, DsObsCupFis, Reservado11, Reservado12,
        MovCaixa, ConfTipoRece,  // data packets
        Reservado15, Reservado16, Reservado17, Reservado18, Reservado19, Reservado20, Reservado21,
        CdOperador, NmOperador, Reservado24, Reservado25, Reservado26, IdImpSaldoCupom,
        Reservado28, Reservado29, Reservado30, SenhaCupom,
        SaldoCred, FamiliaSaldo, EmprestimoFam,  // data packets
        IdTpTelaVe,
        Fixo36,  // "1"
        Reservado37, Reservado38, DsMensCpfCup, IdImprCupTefRed, Reservado41, CupNr, SgEstadoFili,
        NrInsJurEmpr, CdInscEstaEmpr, IdParImprLimVdc, Reservado47, Reservado48,
        Reservado49,  // null
        Reservado50, Reservado51, Reservado52, Reservado53, Reservado54,
        Reservado55, Reservado56, Reservado57, Reservado58,
        Size
    };
};

// fiscaldev Cancela_Cupom_Imp: cancelling the open or the last receipt.
struct CancelaCupomImp {
    static constexpr const char* name = "Cancela_Cupom_Imp";
    enum Index : int {
        IdEsquema, Reservado1, Reservado2,
        DoProprioCupom,  // true for the receipt's own cancellation, false for the confirmation's undo
        CdFilial, CdCaixa, NrSerieImp,
        Size
    };
};

// possvc ChamaFuncaoRetornaPreco: the price of a product.
struct ChamaFuncaoRetornaPreco {
    static constexpr const char* name = "ChamaFuncaoRetornaPreco";
    enum Index : int {
        CdFilial, CdCliente, CdProduto, CdLoja, CdConsumidor,
        Fixo5,  // "B"
        Size
    };
};

// possvc SetConcluiFechamento: the close-out's value block.
struct SetConcluiFechamento {
    static constexpr const char* name = "SetConcluiFechamento";
    enum Index : int {
        CdCaixa, DtAberCaix, CdEmpresa, CupNr, ContCupom, CdFilial, Reservado6, Reservado7, CdLoja,
        Reservado9, Reservado10,
        Fixo11,  // "POS"
        NrNfce, IdPaisIntegra, RetFechaCupom, NrSerieImp, TipoImpFis, DsModeloEcf, DsMarcaEcf, EcfImp,
        DtMovimento, Reservado21, Reservado22, SgEstadoFili, Reservado24, Reservado25, Reservado26,
        Reservado27, Reservado28, Reservado29,
        Fixo30,  // "R"
        Reservado31,
        Fixo32,  // "BAL_QVN"
        Reservado33, DataEmissNfce, IdAmbTrabNfce, NrSerieNfce, Reservado37, Reservado38,
        TipoDocumento,  // "N" NFC-e, "S" SAT, "E" fiscal printer only
        Reservado40,
        Reservado41,  // the integer 0
        Size
    };
};

// possvc SetConcluiFechamento: the close-out's dataset list (the datasets themselves).
struct ConcluiFechamentoDataSets {
    static constexpr const char* name = "SetConcluiFechamento (datasets)";
    enum Index : int {
        Venda, MovCaixa, VendaCancelada, FamiliaSaldo, EmprestimoFam, ItPromoComb, Vazio6, Brinde,
        Vazio8, Vazio9, Vazio10, Vazio11,
        Size
    };
};

// possvc DisparaImpressaoNaoFiscal: the customer copy of an NFC-e or SAT document.
struct DisparaImpressaoNaoFiscal {
    static constexpr const char* name = "DisparaImpressaoNaoFiscal";
    enum Index : int {
        Reservado0,     // false
        TipoImpressao,  // "VENDA_NFCe" or "EXTRATO_SAT"
        Venda, VendaCopia,  // the sale rows' packet, twice
        Omitido,        // the marker of an omitted optional parameter (EmptyParam.h)
        ParamImpCupNF, Reservado6,
        Size
    };
};

// possvc IncluiVendaCan: entering a sale in the cancelled-sale log.
struct IncluiVendaCan {
    static constexpr const char* name = "IncluiVendaCan";
    enum Index : int {
        Venda, VendaCancelada,  // data packets
        CdCaixa, CdEmpresa, Reservado4, NrSerieImp, DsModeloEcf, DsMarcaEcf, EcfImp,
        Reservado9, Reservado10, Reservado11, Reservado12, DtMovimento,
        Size
    };
};

// possvc AlteraVendaCan: marking a concluded SAT sale as cancelled.
struct AlteraVendaCan {
    static constexpr const char* name = "AlteraVendaCan";
    enum Index : int {
        NrSeqVenda, CdFilial, CdCaixa, DtMovimento, Reservado4, Reservado5, Reservado6,
        Fixo7,  // "SAT"
        Size
    };
};

// The highest index a block of layout B travels with.
template <typename B>
inline constexpr int highestIndex = B::Size - 1;

}  // namespace hostapi::block

namespace hostapi {

// A block under construction: every position starts as `filler`, the caller sets the
// others by name. values() and highest() are what the library call takes.
template <typename B, typename T = QVariant>
class ArgumentBlock {
public:
    using Index = typename B::Index;

    explicit ArgumentBlock(const T& filler = T()) : values_(B::Size, filler) {}
    ArgumentBlock(const T& filler, std::initializer_list<std::pair<Index, T>> values) : ArgumentBlock(filler)
    {
        set(values);
    }

    T& operator[](Index i) { return values_[i]; }
    void set(std::initializer_list<std::pair<Index, T>> values)
    {
        for (const auto& [index, value] : values)
            values_[index] = value;
    }
    // Sets every listed position to one value (the fillers of another kind).
    void fill(std::initializer_list<Index> indices, const T& value)
    {
        for (Index i : indices)
            values_[i] = value;
    }

    const QList<T>& values() const { return values_; }
    static constexpr int highest() { return block::highestIndex<B>; }

private:
    QList<T> values_;
};

// The host's reading of a block of layout B. The constructor checks the size and the
// highest index once; a block that does not fit raises platform::HostError naming the
// operation, what it expected and what it got.
template <typename B, typename T = QVariant>
class BlockReader {
public:
    using Index = typename B::Index;

    BlockReader(const QList<T>& values, int highest) : values_(values)
    {
        if (values.size() != B::Size || highest != block::highestIndex<B>)
            throw platform::HostError(
                QStringLiteral("%1: esperava %2 valores (maior índice %3), recebeu %4 (maior índice %5)")
                    .arg(QLatin1String(B::name))
                    .arg(int(B::Size))
                    .arg(block::highestIndex<B>)
                    .arg(values.size())
                    .arg(highest));
    }

    const T& operator[](Index i) const { return values_[i]; }
    // The text of a position without surrounding blanks.
    QString text(Index i) const { return values_[i].toString().trimmed(); }
    const QList<T>& values() const { return values_; }

private:
    QList<T> values_;
};

}  // namespace hostapi

// The answer lists (`voRetorno`) the host fills, slot by slot. A slot not listed holds
// nothing the module reads.
namespace hostapi::answer {

// fiscaldev FechaCupom and Cancela_Cupom_Imp: the printer's code and message, and the
// receipt's number; FechaCupom adds the receipt's total and the moment it was closed.
struct Impressora {
    enum Index : int { Codigo, Mensagem, Cupom, Total, Momento };
};

// possvc SetConcluiFechamento: the refusal's text when no sale number came back; an
// NFC-e's access key, QR-code text and authorisation protocol.
struct Fechamento {
    enum Index : int { Recusa, ChaveAcesso, QrCode, Protocolo };
};

// possvc DisparaImpressaoNaoFiscal: the files of the customer copy.
struct ImpressaoNaoFiscal {
    enum Index : int { Pdf = 1, Png = 2 };
};

// possvc IncluiVendaCan, AlteraVendaCan and ResolveVendasPendentes: the cancelled-sale
// log's entry and the sale it cancelled; the CF-e or NFC-e number of a sale found
// standing; the NFC-e number of a sale the settling cancelled.
struct VendaCancelada {
    enum Index : int { Registro = 1, Venda = 2, DocumentoMantido = 3, NfceCancelada = 4 };
};

// possvc getProdCodCestNcm: the product's CEST and NCM codes.
struct CodigosFiscais {
    enum Index : int { Cest, Ncm };
};

// possvc ChamaFuncaoRetornaPreco: the price, or the text of a refusal.
struct Preco {
    enum Index : int { Valor };
};

}  // namespace hostapi::answer
