#pragma once
// Pkg_Vak04100: what libVak04100.so exports, as a host declares it.
//
// Business entry:
//   CriaFidelidade                      plain C name; five NUL-terminated UTF-16 texts
//                                       (consumer code, name, CPF, address, client code);
//                                       nullptr is the empty text. Never throws.
//   Cli_Vak04100::CriaFidelidade        the same under its unit-qualified C++ name, and
//   "Cli_Vak04100.CriaFidelidade"       under that name for dlsym.
// Module-level variables: frmFidelidade (the open form) and rdmFidelidade (the data
// module), both empty between calls.
// Loader entries: Initialize, Finalize, GetPackageInfoTable.
// Data-service functions: GetConsumidor, GetSaldoConsCamp, GetBrinde, SetGravaCupomInicial,
// GetSenhaCupom, getNumeroNFCe, setNumeroNFCe (plain names), also as
// Srv_Vak04100_<name> and "Srv_Vak04100.<name>" (see server/Srv_Vak04100.h for the
// C signatures).

extern "C" {

typedef void (*CriaFidelidadeFn)(const char16_t* cdConsumidor, const char16_t* nmConsumidor,
                                 const char16_t* nrCpf, const char16_t* dsEndereco, const char16_t* cdCliente);

// One unit of the package with its start-up and shut-down sections.
struct PackageUnitInfo {
    const char* name;
    void (*initialization)();
    void (*finalization)();
};

struct PackageInfoTable {
    int unitCount;
    const PackageUnitInfo* units;  // in start-up order
};

void CriaFidelidade(const char16_t* cdConsumidor, const char16_t* nmConsumidor, const char16_t* nrCpf,
                    const char16_t* dsEndereco, const char16_t* cdCliente);

// Run the start-up sections of the units in table order (once; later calls count) and
// the shut-down sections in reverse order when the last Initialize is matched.
void Initialize();
void Finalize();
const PackageInfoTable* GetPackageInfoTable();
}
