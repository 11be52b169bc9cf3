#include "host/possvc/devices/SatDevice.h"

namespace possvc {

SatDevice::SatDevice(const SatMemory& memory, QString activationCode, sat::XmlForm form)
    : memory_(memory), activationCode_(std::move(activationCode)), form_(form)
{
}

int SatDevice::nextSession()
{
    static int session = 0;
    session = session % 999999 + 1;
    return session;
}

QStringList SatDevice::refusal(const QString& code, const QString& message)
{
    return sat::refusedAnswer(nextSession(), code, message);
}

QStringList SatDevice::busyAnswer()
{
    return refusal(QStringLiteral("06098"), QStringLiteral("SAT em processamento. Tente novamente."));
}

bool SatDevice::accepts(const QString& code, QStringList& answer) const
{
    if (activationCode_.isEmpty() || code == activationCode_)
        return true;
    answer = refusal(QStringLiteral("06001"), QStringLiteral("Código de ativação inválido."));
    return false;
}

sat::Cfe SatDevice::draft(const sat::CfeInput& input) const
{
    sat::CfeInput in = input;
    in.satSerial = serial();
    return sat::buildCfe(in);
}

QStringList SatDevice::issue(const sat::Cfe& cfe, const QString& branch, const QString& cashRegister,
                             const QString& sequence) const
{
    const int session = nextSession();
    const QStringList answer = sat::issuedAnswer(session, cfe, form_);
    memory_.remember(IssuedCfe{session, branch, cashRegister, sequence, cfe.number, cfe.key, answer});
    return answer;
}

}  // namespace possvc
