#include "client/TextoNumero.h"

#include <QLocale>

namespace Cli_Vak04100 {

QString textoNumero(double valor)
{
    QLocale local = QLocale::system();
    local.setNumberOptions(QLocale::OmitGroupSeparator);
    return local.toString(valor, 'g', 15);
}

}  // namespace Cli_Vak04100
