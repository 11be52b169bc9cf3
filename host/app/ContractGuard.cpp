#include "host/app/ContractGuard.h"

#include "host/possvc/sale/Extensions.h"
#include "hostapi/PublishedContract.h"
#include "platform/dataset/ClientDataSet.h"
#include "terminal/TerminalFiles.h"

#include <cstdio>
#include <cstdlib>

namespace pdvhost {

void ContractGuard::check(const hostapi::CallRecord& call, bool screenShown) const
{
    if (!enabled_)
        return;
    const QString violation = hostapi::contract::contractViolation(call, idEsquema_, !screenShown);
    if (violation.isEmpty())
        return;
    std::fprintf(stderr, "pdvhost: contract: %s\n", violation.toLocal8Bit().constData());
    std::fflush(nullptr);
    // At once, from inside the module's call: nothing more of the run may happen. The
    // transcript already holds the call (written and flushed line by line).
    std::_Exit(kContractViolationStatus);
}

void withdrawExtensions()
{
    possvc::offerExtensions(false);
    possvc::ResolveVendasPendentes.unassign();
}

QString terminalSchema()
{
    try {
        const QString path = terminal::findHostFile(
            QString::fromLatin1(terminal::fileDef(terminal::File::Parametros).relative));
        if (path.isEmpty())
            return {};
        platform::ClientDataSet parametros;
        parametros.loadFromFile(path);
        if (!parametros.active() || parametros.recordCount() == 0)
            return {};
        parametros.first();
        return terminal::readValue(parametros, terminal::parameterKey(terminal::Param::IDESQUEMA)).toString();
    } catch (const std::exception&) {
        return {};  // the module's opening reports what is wrong with the file
    }
}

}  // namespace pdvhost
