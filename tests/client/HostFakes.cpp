#include "HostFakes.h"

#include "platform/ui/ErrorDisplay.h"

#include <QLocale>

namespace testsupport {

namespace {
void recordError(const QString& text, void* context)
{
    static_cast<HostFakes*>(context)->errors << text;
}
}  // namespace

HostFakes::HostFakes()
{
    possvc::Pesquisa = [this](platform::ClientDataSet* ds, const QVariant& campos, const QString& flag, int c1,
                              int c2, int c3, int c5, int opcao) {
        SearchCall call;
        call.dataSet = ds ? ds->objectName() : QString();
        if (ds && ds->active()) {
            for (int i = 0; i < ds->fieldCount(); ++i)
                if (ds->field(i).visible())
                    call.visibleFields << ds->field(i).fieldName();
            call.rows = ds->recordCount();
        }
        call.args = {campos, flag, c1, c2, c3, c5, opcao};
        searches << call;
        const int pick = picks.empty() ? 0 : picks.front();
        if (!picks.empty())
            picks.pop_front();
        if (pick <= 0 || !ds || !ds->active() || pick > ds->recordCount())
            return false;
        ds->setRecNo(pick);
        return true;
    };
    possvc::ChamaFuncaoRetornaPreco = [this](const QVariantList& bloco, int highest, QVariant& voRetorno,
                                             QString& resposta) {
        PriceCall call{bloco, highest, false};
        const QVariantList retorno = voRetorno.toList();
        call.freshRetorno = retorno.size() == 10 &&
                            std::all_of(retorno.begin(), retorno.end(), [](const QVariant& v) { return v.isNull(); });
        priceCalls << call;
        if (prices.empty()) {
            resposta = QLocale::system().toString(10.0, 'f', 2);
        } else {
            resposta = prices.front();
            prices.pop_front();
        }
    };
    possvc::AtivaProcesso = [this](QWidget*, const QString&, int, int) { ++indicators; };
    possvc::DesativaProcesso = [] {};
    hostkit::setMessagePresenter([this](const hostkit::MessageRequest& request) {
        messages << request;
        return true;
    });
    platform::ui::setErrorDisplay(&recordError, this);
}

HostFakes::~HostFakes()
{
    possvc::library().unassignAll();
    hostkit::setMessagePresenter({});
    platform::ui::setErrorDisplay(nullptr);
}

QStringList HostFakes::messageTexts() const
{
    QStringList texts;
    for (const auto& m : messages)
        texts << m.texto;
    return texts;
}

QStringList HostFakes::messageHeads() const
{
    QStringList heads;
    for (const auto& m : messages)
        heads << headOf(m.texto);
    return heads;
}

QString HostFakes::headOf(const QString& text)
{
    const int at = text.indexOf(QStringLiteral("\nMotivo: "));
    return at < 0 ? text : text.left(at);
}

QString HostFakes::reasonOf(const QString& text)
{
    const int at = text.indexOf(QStringLiteral("\nMotivo: "));
    return at < 0 ? QString() : text.mid(at + 9);
}

}  // namespace testsupport
