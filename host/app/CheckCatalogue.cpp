// The gift catalogue as the screen's gift search sees it: the module's own GetBrinde for
// each active campaign at the terminal's branch, filtered by the terminal's tax table with
// the screen's own filter.
#include "host/app/Check.h"

#include "host/app/ModulePath.h"
#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"
#include "platform/Error.h"
#include "platform/db/Connection.h"
#include "platform/db/Query.h"
#include "platform/db/ServiceResult.h"

#include <QFile>

#include <dlfcn.h>

namespace pdvhost::check {

namespace {

const QString kCatalogue = QStringLiteral("catalogue");
constexpr int kNamed = 3;  // hidden gifts named per campaign

// The module's data service: created on a connection of its own, released at the end.
class DataService {
public:
    ~DataService()
    {
        if (release_)
            release_();
    }
    // Empty on success, else why the module cannot serve.
    QString open()
    {
        const QString path = modulePath();
        void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return QString::fromLocal8Bit(dlerror());
        auto create = reinterpret_cast<int (*)(QVariant*)>(dlsym(handle, "Srv_Vak04100_CriaModuloDados"));
        release_ = reinterpret_cast<void (*)()>(dlsym(handle, "Srv_Vak04100_LiberaModuloDados"));
        getBrinde_ = reinterpret_cast<decltype(getBrinde_)>(dlsym(handle, "Srv_Vak04100.GetBrinde"));
        if (!create || !release_ || !getBrinde_)
            return QStringLiteral("%1 does not export the data service").arg(path);
        QVariant error;
        return create(&error) == 0 ? QString() : error.toString();
    }
    // The catalogue packet, or throws with the service's error text.
    QVariant gifts(const QString& campaign, const QString& branch) const
    {
        QVariant result;
        const int rc = getBrinde_(reinterpret_cast<const char16_t*>(campaign.utf16()),
                                  reinterpret_cast<const char16_t*>(branch.utf16()), &result);
        if (rc != 0 || platform::db::isErrorResult(result))
            throw platform::Error(result.toString());
        return result;
    }

private:
    void (*release_)() = nullptr;
    int (*getBrinde_)(const char16_t*, const char16_t*, QVariant*) = nullptr;
};

QList<std::pair<QString, QString>> activeCampaigns(platform::db::Connection& db, const QDate& day)
{
    platform::db::Query q(&db);
    q.setSql(QStringLiteral("SELECT CDCAMPANHA, DSCAMPANHA FROM CAMPANHA "
                            "WHERE (DTINICAMPANHA IS NULL OR DTINICAMPANHA <= :P_DIA) "
                            "AND (DTFIMCAMPANHA IS NULL OR DTFIMCAMPANHA >= :P_DIA) ORDER BY CDCAMPANHA"));
    q.declareParam(QStringLiteral("P_DIA"), platform::FieldType::DateTime);
    q.setParam(QStringLiteral("P_DIA"), QDateTime(day, QTime(0, 0)));
    q.open();
    QList<std::pair<QString, QString>> list;
    for (; !q.eof(); q.next())
        list.append({q.value(0).toString(), q.value(1).toString()});
    return list;
}

void reportCampaign(const QString& code, const QString& name, platform::ClientDataSet& gifts,
                    platform::ClientDataSet& taxRates, Findings& f)
{
    const int all = gifts.active() ? gifts.recordCount() : 0;
    if (all == 0) {
        f.warning(kCatalogue, QStringLiteral("%1 %2").arg(code, name).trimmed(),
                  QStringLiteral("offers no gift at this branch"),
                  QStringLiteral("add gifts to the campaign (BRINDECAMPANHA) and tax rows (ALIQIMPFIS) for the branch"));
        return;
    }
    QStringList hidden;
    const int offered = terminal::filterByTaxRate(gifts, taxRates, &hidden);
    const QString key = QStringLiteral("%1 %2").arg(code, name).trimmed();
    if (hidden.isEmpty()) {
        f.note(kCatalogue, key, QStringLiteral("%1 gift(s) offered").arg(offered));
        return;
    }
    hidden.removeDuplicates();
    QString names = hidden.mid(0, kNamed).join(QStringLiteral(", "));
    if (hidden.size() > kNamed)
        names += QStringLiteral(" and %1 more").arg(hidden.size() - kNamed);
    const QString message = QStringLiteral("%1 of %2 gift(s) offered; %3 hidden, their tax rate and type not in the "
                                           "terminal's tax table: %4")
                                .arg(offered).arg(all).arg(all - offered).arg(names);
    const QString fix = QStringLiteral("add the products' tax rates to Dados/Cadastros/AliqImpFis.cds at the host, "
                                       "or correct the products' ALIQIMPFIS rows");
    offered == 0 ? f.error(kCatalogue, key, message, fix) : f.warning(kCatalogue, key, message, fix);
}

}  // namespace

void checkCatalogue(const Terminal& t, platform::db::Connection& db, const QString& connectionString,
                    Findings& f)
{
    const QString branch = t.text(terminal::Param::CDFILIAL);
    if (!t.taxRates || branch.trimmed().isEmpty())
        return;  // the missing file or code is reported already
    const bool dated = t.businessDate.isValid() && t.businessDate.date() > QDate(1899, 12, 30);
    const QDate day = dated ? t.businessDate.date() : QDate::currentDate();
    QList<std::pair<QString, QString>> campaigns;
    try {
        campaigns = activeCampaigns(db, day);
    } catch (const platform::Error&) {
        return;  // the table's problem is reported with the database
    }
    if (campaigns.isEmpty()) {
        f.warning(kCatalogue, {}, QStringLiteral("no campaign is active on %1").arg(day.toString(Qt::ISODate)),
                  QStringLiteral("set the campaigns' dates (CAMPANHA.DTINICAMPANHA, DTFIMCAMPANHA)"));
        return;
    }
    if (!connectionString.isEmpty())
        hostkit::setStringConexQvn(connectionString);
    DataService service;
    if (const QString why = service.open(); !why.isEmpty()) {
        f.error(kCatalogue, QStringLiteral("module"), QStringLiteral("the module's data service cannot start: %1").arg(why),
                QStringLiteral("install the module (libVak04100.so) beside pdvhost or in its library directory"));
        return;
    }
    const bool earlierErrors = f.blocking();
    for (const auto& [code, name] : campaigns) {
        try {
            platform::ClientDataSet gifts;
            gifts.setData(service.gifts(code, branch));
            reportCampaign(code, name, gifts, *t.taxRates, f);
        } catch (const platform::Error& e) {
            // Points at earlier findings only when there are some.
            f.error(kCatalogue, code, QStringLiteral("GetBrinde fails: %1").arg(e.text()),
                    earlierErrors ? QStringLiteral("correct the errors reported above first")
                                 : QStringLiteral("the check found nothing else wrong: correct the database as the "
                                                  "error says"));
        }
    }
}

}  // namespace pdvhost::check
