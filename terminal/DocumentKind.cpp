#include "terminal/DocumentKind.h"

namespace terminal {

DocumentKind documentKind(bool nfceFlag, bool satFlag)
{
    if (nfceFlag)
        return DocumentKind::Nfce;
    return satFlag ? DocumentKind::Sat : DocumentKind::Receipt;
}

DocumentKind documentKind(const Parameters& parameters)
{
    return documentKind(parameters.flag(Param::SISTEMAQVNNFCE), parameters.flag(Param::SISTEMAQVNSAT));
}

}  // namespace terminal
