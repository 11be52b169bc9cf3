// The package's own exports: the entry, the loader entries and the unit table. The
// module-level variables and the data-service functions are defined by their units; the
// export table (CMakeLists.txt) names them all.
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
int inicializacoes = 0;

}  // namespace

extern "C" {

const PackageInfoTable PackageUnits{int(sizeof kUnidades / sizeof kUnidades[0]), kUnidades};

void CriaFidelidade(const char16_t* cdConsumidor, const char16_t* nmConsumidor, const char16_t* nrCpf,
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
    for (int i = PackageUnits.unitCount - 1; i >= 0; --i)
        kUnidades[i].finalization();
}

const PackageInfoTable* GetPackageInfoTable()
{
    return &PackageUnits;
}
}
