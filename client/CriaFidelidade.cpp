// The entry: one opening of the screen, from the form's creation to the release of form
// and data module, on every way out.
#include "client/Cli_Vak04100.h"

#include "platform/ui/ErrorDisplay.h"
#include "server/Srv_Vak04100.h"

extern "C" {
VAK04100_EXPORT Cli_Vak04100::TfrmFidelidade* frmFidelidade = nullptr;
}

namespace Cli_Vak04100 {

namespace {

QString textoDe(const char16_t* texto)
{
    return texto ? QString::fromUtf16(texto) : QString();
}

// The form first, then the data module.
void liberaTela() noexcept
{
    delete frmFidelidade;
    frmFidelidade = nullptr;
    delete Srv_Vak04100::rdmFidelidade;
    Srv_Vak04100::rdmFidelidade = nullptr;
}

void mostraErroAbertura(const QString& texto) noexcept
{
    platform::ui::guarded([&] {
        hostkit::Mensagem(texto, {}, QStringLiteral("N"), QStringLiteral("N"), hostkit::tmErro, {},
                          QStringLiteral("002"), 0, nullptr);
    });
}

}  // namespace

void CriaFidelidadeQt(const QString& cdConsumidor, const QString& nmConsumidor, const QString& nrCpf,
                      const QString& dsEndereco, const QString& cdCliente)
{
    // A second opening while the screen is shown would release the data module under
    // the open screen: it is refused instead, told by the open screen from its message table.
    if (frmFidelidade) {
        platform::ui::guarded([] { frmFidelidade->MostraMensagem(QStringLiteral("TELA_ABERTA"), hostkit::tmErro); });
        return;
    }
    try {
        frmFidelidade = new TfrmFidelidade(nullptr);
        frmFidelidade->stArgCdConsumidor = cdConsumidor;
        frmFidelidade->stArgNmConsumidor = nmConsumidor;
        frmFidelidade->stArgNrCpf = nrCpf;
        frmFidelidade->stArgDsEndereco = dsEndereco;
        frmFidelidade->stArgCdCliente = cdCliente;
        frmFidelidade->InicializaForm();
        frmFidelidade->exec();
    } catch (...) {
        mostraErroAbertura(platform::ui::errorText(std::current_exception()));
    }
    liberaTela();
}

void CriaFidelidade(const char16_t* cdConsumidor, const char16_t* nmConsumidor, const char16_t* nrCpf,
                    const char16_t* dsEndereco, const char16_t* cdCliente)
{
    try {
        CriaFidelidadeQt(textoDe(cdConsumidor), textoDe(nmConsumidor), textoDe(nrCpf), textoDe(dsEndereco),
                         textoDe(cdCliente));
    } catch (...) {
        // Nothing may reach the host; CriaFidelidadeQt already reports and releases.
    }
}

}  // namespace Cli_Vak04100
