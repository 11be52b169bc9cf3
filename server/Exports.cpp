// The exported C interface of the data service (see Srv_Vak04100.h): no exception leaves
// these functions.

#include "server/Srv_Vak04100.h"

#include "platform/Error.h"

namespace {

QString texto(const char16_t* text)
{
    return text ? QString::fromUtf16(text) : QString();
}

template <class Function>
int chama(QVariant* result, Function&& function) noexcept
{
    try {
        QVariant value = function();
        if (result)
            *result = std::move(value);
        return 0;
    } catch (const platform::Error& erro) {
        if (result)
            *result = erro.text();
    } catch (const std::exception& erro) {
        if (result)
            *result = QString::fromLocal8Bit(erro.what());
    } catch (...) {
        if (result)
            *result = QStringLiteral("Erro desconhecido no serviço de dados da fidelidade.");
    }
    return 1;
}

}  // namespace

using namespace Srv_Vak04100;

extern "C" {

int Srv_Vak04100_GetConsumidor(QVariant* result) noexcept
{
    return chama(result, [] { return GetConsumidor(); });
}

int Srv_Vak04100_GetSaldoConsCamp(const char16_t* cdCliente, const char16_t* cdConsumidor, QVariant* result) noexcept
{
    return chama(result, [&] { return GetSaldoConsCamp(texto(cdCliente), texto(cdConsumidor)); });
}

int Srv_Vak04100_GetBrinde(const char16_t* cdCampanha, const char16_t* cdFilial, QVariant* result) noexcept
{
    return chama(result, [&] { return GetBrinde(texto(cdCampanha), texto(cdFilial)); });
}

int Srv_Vak04100_SetGravaCupomInicial(const char16_t* cdFilial, const char16_t* cdCaixa, const char16_t* nrCupom,
                                      double dtFiscal, QVariant* result) noexcept
{
    return chama(result, [&] {
        return SetGravaCupomInicial(texto(cdFilial), texto(cdCaixa), texto(nrCupom), fromDateTimeValue(dtFiscal));
    });
}

int Srv_Vak04100_GetSenhaCupom(const char16_t* cdFilial, double data, QVariant* result) noexcept
{
    return chama(result, [&] { return GetSenhaCupom(texto(cdFilial), fromDateTimeValue(data)); });
}

int Srv_Vak04100_getNumeroNFCe(const char16_t* cdFilial, const char16_t* serie, const char16_t* ambiente,
                               QVariant* result) noexcept
{
    return chama(result, [&] { return getNumeroNFCe(texto(cdFilial), texto(serie), texto(ambiente)); });
}

int Srv_Vak04100_setNumeroNFCe(const char16_t* cdFilial, const char16_t* cdCaixa, const char16_t* serie,
                               const char16_t* ambiente, int gravaInutiliza, QVariant* result) noexcept
{
    return chama(result, [&] {
        return setNumeroNFCe(texto(cdFilial), texto(cdCaixa), texto(serie), texto(ambiente), gravaInutiliza != 0);
    });
}

int Srv_Vak04100_CriaModuloDados(QVariant* error) noexcept
{
    return chama(error, [] {
        const bool criado = !rdmFidelidade;
        if (criado)
            rdmFidelidade = new TrdmFidelidade;
        try {
            rdmFidelidade->adcFidelidade->open();
        } catch (...) {
            if (criado) {  // nothing half-made is left behind
                delete rdmFidelidade;
                rdmFidelidade = nullptr;
            }
            throw;
        }
        return QVariant();
    });
}

void Srv_Vak04100_LiberaModuloDados() noexcept
{
    delete rdmFidelidade;
    rdmFidelidade = nullptr;
}

}  // extern "C"
