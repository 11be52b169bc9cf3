#include "client/MessageTable.h"

namespace Cli_Vak04100 {

QStringList tabelaMensagens()
{
    return {
        QStringLiteral("IMP_CUP|Aguarde! Imprimindo cupom..."),
        QStringLiteral("ERRO_IMP_CUP|Ocorreu um erro na impressão do cupom. Venda cancelada."),
        QStringLiteral("SALDO_INSUF|Você não possui voucher ou saldo de pontos suficiente para realizar esta operação!"),
        QStringLiteral("SRV_N_ENC|Não foi possível estabelecer conexão com o servidor."),
        QStringLiteral("PRECNCAD|Preço do produto deve ser cadastrado."),
        QStringLiteral("TABENCAD|Tabela de preço deve ser parametrizada."),
        QStringLiteral("DTCLI|Não há tabela de preço do cliente vigente."),
        QStringLiteral("DTPAR|Não há tabela de preço padrão vigente."),
        QStringLiteral("DTLOJ|Não há tabela de preço da loja vigente."),
        QStringLiteral("PRECZERO|Preço do produto deve ser maior que zero."),
        QStringLiteral("BLOQUEADO|Operação bloqueada. Produto indisponível no momento."),
        QStringLiteral("ERRO_COM_SAT|Atenção! Seu equipamento SAT perdeu a comunicação com o sistema. "
                       "Desligue o aparelho SAT e a impressora desse caixa. Em seguida, ligue-os nesta mesma ordem."),
        QStringLiteral("Falha_Conex_SAT|Falha na conexão do sistema Quorvan com o SAT. Verifique DLLs do Aparelho."),
        // Answers the selection could not otherwise report.
        QStringLiteral("SEM_ALIQ|Nenhum brinde pode ser oferecido: a tabela de alíquotas do terminal "
                       "(Dados\\Cadastros\\AliqImpFis.cds) não foi carregada."),
        QStringLiteral("PRECO_INV|A consulta de preço respondeu \"%1\", que não é um preço. O brinde não foi incluído."),
        // What a redemption that could not be completed left behind, when it was not undone.
        // Each says what the screen knows and what the cashier does; the texts that count on
        // the system settling a sale later are shown only where the host offers that.
        QStringLiteral("CUPOM_NAO_CANC|Ocorreu um erro na impressão do cupom e a impressora não cancelou o cupom %1. "
                       "O resgate não foi registrado e os pontos não foram debitados: cancele o cupom na impressora "
                       "antes de continuar."),
        QStringLiteral("VENDA_NAO_CANC|Ocorreu um erro na emissão da venda %1 e ela não pôde ser cancelada agora: "
                       "os pontos continuam debitados. A venda ficou pendente e será cancelada pelo sistema, com a "
                       "devolução dos pontos; não refaça o resgate antes disso."),
        QStringLiteral("VENDA_A_CANCELAR|Ocorreu um erro na emissão da venda %1 e ela não pôde ser cancelada: a venda "
                       "continua registrada, sem documento fiscal, e os pontos continuam debitados. Cancele a venda %1 "
                       "no sistema antes de um novo resgate."),
        QStringLiteral("VENDA_INCERTA|O banco de dados não confirmou o registro da venda do resgate (%1) e não pôde "
                       "ser consultado agora. Se a venda foi registrada, o resgate está concluído e os pontos foram "
                       "debitados; se não foi, nada ficou dele. O sistema acerta isso quando o caixa for reaberto: "
                       "reabra o caixa antes de um novo resgate."),
        QStringLiteral("VENDA_A_CONFERIR|O banco de dados não confirmou o registro da venda do resgate (%1) e não pôde "
                       "ser consultado agora. Consulte as vendas do caixa antes de um novo resgate: se a venda foi "
                       "registrada, o resgate está concluído e os pontos foram debitados; se não foi, os pontos não "
                       "foram debitados e um cupom impresso para ela deve ser cancelado na impressora."),
        QStringLiteral("VENDA_SAT_INCERTA|O banco de dados não confirmou o registro da venda do resgate e não pôde ser "
                       "consultado agora. O CF-e não foi emitido: se a venda foi registrada, ela ficou pendente e será "
                       "cancelada pelo sistema quando o caixa for reaberto, com a devolução dos pontos; não refaça o "
                       "resgate antes disso."),
        QStringLiteral("VENDA_SAT_A_CONFERIR|O banco de dados não confirmou o registro da venda do resgate e não pôde "
                       "ser consultado agora. O CF-e não foi emitido. Consulte as vendas do caixa antes de um novo "
                       "resgate: se a venda foi registrada, cancele-a no sistema para que os pontos voltem; se não foi, "
                       "nada ficou dela."),
        QStringLiteral("NFCE_SEM_VIA|A NFC-e %1 foi emitida e a venda está concluída, mas a via do consumidor não foi "
                       "impressa. Os pontos foram debitados: não refaça o resgate; reimprima a via da NFC-e."),
        QStringLiteral("CFE_EMITIDO|O CF-e %1 foi emitido e a venda %2 está concluída, mas houve uma falha depois da "
                       "emissão. Os pontos foram debitados: não refaça o resgate."),
        QStringLiteral("TELA_ABERTA|A tela do Programa de Fidelidade já está aberta."),
        QStringLiteral("CONS_COD_INV|O código deste consumidor tem caracteres que o sistema não representa: ele não "
                       "pode ser escolhido nesta tela."),
        QStringLiteral("LIMITE_BRINDES|Um resgate pode ter no máximo %1 brindes, pois os itens da venda são numerados "
                       "com três dígitos. Cancele brindes e confirme de novo."),
    };
}

QStringList codigosRecusaPreco()
{
    return {QStringLiteral("PRECNCAD"), QStringLiteral("TABENCAD"), QStringLiteral("DTCLI"),
            QStringLiteral("DTPAR"),    QStringLiteral("DTLOJ"),    QStringLiteral("PRECZERO"),
            QStringLiteral("BLOQUEADO")};
}

}  // namespace Cli_Vak04100
