// The module's export table: the entry, the loader entries and the package's unit table.
// The module-level variables and the data-service functions are exported from the units
// that define them (see CMakeLists.txt for the plain-name aliases).
#include "package/Pkg_Vak04100.h"

#include "client/Cli_Vak04100.h"
#include "platform/dataset/DataPacket.h"

#include <QMetaType>

namespace {

// Start-up of the units: what must exist before the first call. Registering the packet
// type lets packets travel in queued signals and variants compared across libraries.
void iniciaPlataforma() { qRegisterMetaType<platform::DataPacket>(); }
void nada() {}

const PackageUnitInfo kUnidades[] = {
    {"Pkg_Vak04100", &iniciaPlataforma, &nada},
    {"Srv_Vak04100", &nada, &nada},
    {"Cli_Vak04100", &nada, &nada},
};
const PackageInfoTable kTabela{int(sizeof kUnidades / sizeof kUnidades[0]), kUnidades};

int inicializacoes = 0;

}  // namespace

extern "C" {

void CriaFidelidade(const char16_t* cdConsumidor, const char16_t* nmConsumidor, const char16_t* nrCpf,
                    const char16_t* dsEndereco, const char16_t* cdCliente)
{
    Cli_Vak04100::CriaFidelidade(cdConsumidor, nmConsumidor, nrCpf, dsEndereco, cdCliente);
}

// The unit-qualified name for hosts that look the entry up by it.
void criaFidelidadeQualificada(const char16_t* cdConsumidor, const char16_t* nmConsumidor, const char16_t* nrCpf,
                               const char16_t* dsEndereco, const char16_t* cdCliente)
    __asm__("Cli_Vak04100.CriaFidelidade");
void criaFidelidadeQualificada(const char16_t* cdConsumidor, const char16_t* nmConsumidor, const char16_t* nrCpf,
                               const char16_t* dsEndereco, const char16_t* cdCliente)
{
    Cli_Vak04100::CriaFidelidade(cdConsumidor, nmConsumidor, nrCpf, dsEndereco, cdCliente);
}

void Initialize()
{
    if (inicializacoes++ > 0)
        return;
    for (const PackageUnitInfo& unidade : kUnidades)
        unidade.initialization();
}

void Finalize()
{
    if (inicializacoes == 0 || --inicializacoes > 0)
        return;
    for (int i = kTabela.unitCount - 1; i >= 0; --i)
        kUnidades[i].finalization();
}

const PackageInfoTable* GetPackageInfoTable()
{
    return &kTabela;
}
}
