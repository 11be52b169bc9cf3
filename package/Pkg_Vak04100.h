#pragma once
// Pkg_Vak04100: what libVak04100.so exports, as a host declares it. The export table
// itself, the one list of exported names, is in package/CMakeLists.txt; nothing else of
// the module is visible outside it.
//
// Business entry:
//   CriaFidelidade                      plain C name; five NUL-terminated UTF-16 texts
//                                       (consumer code, name, CPF, address, client code);
//                                       nullptr is the empty text. Never throws.
//   "Cli_Vak04100.CriaFidelidade"       the same under its unit-qualified name.
// Module-level variables: frmFidelidade (the open form) and rdmFidelidade (the data
// module), both empty between calls.
// Loader entries: Initialize, Finalize, GetPackageInfoTable; PackageUnits is the table
// GetPackageInfoTable returns.
// Data-service functions: GetConsumidor, GetSaldoConsCamp, GetBrinde, SetGravaCupomInicial,
// GetSenhaCupom, getNumeroNFCe, setNumeroNFCe under their plain names and as
// "Srv_Vak04100.<name>"; Srv_Vak04100_CriaModuloDados and Srv_Vak04100_LiberaModuloDados
// for hosts that call them without the screen (see server/Srv_Vak04100.h for the C
// signatures).

#include "Vak04100Export.h"

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

VAK04100_EXPORT void CriaFidelidade(const char16_t* cdConsumidor, const char16_t* nmConsumidor,
                                    const char16_t* nrCpf, const char16_t* dsEndereco, const char16_t* cdCliente);

// Run the start-up sections of the units in table order (once; later calls count) and
// the shut-down sections in reverse order when the last Initialize is matched.
VAK04100_EXPORT void Initialize();
VAK04100_EXPORT void Finalize();
VAK04100_EXPORT const PackageInfoTable* GetPackageInfoTable();
// The package's units: Pkg_Vak04100, Srv_Vak04100, Cli_Vak04100, in start-up order.
VAK04100_EXPORT extern const PackageInfoTable PackageUnits;
}
