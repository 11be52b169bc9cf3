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
    };
}

QStringList codigosRecusaPreco()
{
    return {QStringLiteral("PRECNCAD"), QStringLiteral("TABENCAD"), QStringLiteral("DTCLI"),
            QStringLiteral("DTPAR"),    QStringLiteral("DTLOJ"),    QStringLiteral("PRECZERO"),
            QStringLiteral("BLOQUEADO")};
}

}  // namespace Cli_Vak04100
