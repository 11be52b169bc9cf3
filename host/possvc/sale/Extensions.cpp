#include "host/possvc/sale/Extensions.h"

#include "hostapi/possvc.h"

extern "C" {
hostapi::ext::ResolveVendasPendentes possvc_ResolveVendasPendentes = nullptr;
}

namespace possvc {

hostapi::ProcVar<QString(QVariant&)> ResolveVendasPendentes(library(), "ResolveVendasPendentes");

namespace {

// A C entry lets no error out: what the variable raises becomes the answer's text.
void resolveVendasPendentes(QVariant& voRetorno, QString& resposta)
{
    try {
        resposta = ResolveVendasPendentes(voRetorno);
    } catch (const std::exception& e) {
        resposta = QString::fromUtf8(e.what());
        if (resposta.isEmpty())
            resposta = QStringLiteral("ResolveVendasPendentes: erro sem texto");
    }
}

}  // namespace

void offerExtensions(bool offered)
{
    possvc_ResolveVendasPendentes = offered ? &resolveVendasPendentes : nullptr;
}

}  // namespace possvc
