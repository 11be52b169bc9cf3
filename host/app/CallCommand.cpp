#include "host/app/CallCommand.h"
#include "host/app/ModulePath.h"

#include "host/hostkit/HostHooks.h"
#include "platform/CommandLine.h"

#include "hostapi/hostkit.h"
#include "platform/dataset/DataPacket.h"
#include "platform/dataset/PacketJson.h"
#include "platform/db/ServiceResult.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QVariant>

#include <dlfcn.h>

#include <cstdio>
#include <functional>
#include <optional>

namespace pdvhost {

namespace {

using Text = const char16_t*;

struct Function {
    const char* name;
    QStringList arguments;  // what each argument is, for the usage text
};

const Function kFunctions[] = {
    {"GetConsumidor", {}},
    {"GetSaldoConsCamp", {"CLIENT", "CONSUMER"}},
    {"GetBrinde", {"CAMPAIGN", "BRANCH"}},
    {"SetGravaCupomInicial", {"BRANCH", "REGISTER", "RECEIPT", "FISCAL-DATE"}},
    {"GetSenhaCupom", {"BRANCH", "DATE"}},
    {"getNumeroNFCe", {"BRANCH", "SERIES", "ENVIRONMENT"}},
    {"setNumeroNFCe", {"BRANCH", "REGISTER", "SERIES", "ENVIRONMENT", "RECORD-FOR-VOIDING"}},
};

void err(const QString& text)
{
    std::fprintf(stderr, "pdvhost call: %s\n", text.toLocal8Bit().constData());
}

QString usage()
{
    QString text = QStringLiteral("usage: pdvhost call [--db CONNSTR] FUNCTION [ARG...]\n");
    for (const Function& f : kFunctions)
        text += (QStringList{QString::fromLatin1(f.name)} + f.arguments).join(QLatin1Char(' ')).prepend(QStringLiteral("  "))
                + QLatin1Char('\n');
    return text;
}

// The module's exports, looked up by their unit-qualified names.
class Module {
public:
    ~Module()
    {
        if (release_)
            release_();
        // The library stays loaded: Qt objects it made may still be referenced at exit.
    }
    bool load(QString* error)
    {
        const QString path = modulePath();
        handle_ = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            *error = QString::fromLocal8Bit(dlerror());
            return false;
        }
        create_ = reinterpret_cast<int (*)(QVariant*)>(dlsym(handle_, "Srv_Vak04100_CriaModuloDados"));
        release_ = reinterpret_cast<void (*)()>(dlsym(handle_, "Srv_Vak04100_LiberaModuloDados"));
        if (!create_ || !release_) {
            *error = QStringLiteral("%1 does not export the data module's creation").arg(path);
            return false;
        }
        return true;
    }
    template <class Signature>
    Signature* function(const char* name) const
    {
        return reinterpret_cast<Signature*>(dlsym(handle_, (QByteArray("Srv_Vak04100.") + name).constData()));
    }
    bool connect(QString* error)
    {
        QVariant text;
        if (create_(&text) == 0)
            return true;
        *error = text.toString();
        return false;
    }

private:
    void* handle_ = nullptr;
    int (*create_)(QVariant*) = nullptr;
    void (*release_)() = nullptr;
};

double dateValue(const QString& text, bool* ok)
{
    QDateTime dt = QDateTime::fromString(text, Qt::ISODate);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        dt = d.isValid() ? QDateTime(d, QTime(0, 0)) : QDateTime();
    }
    *ok = dt.isValid();
    if (!*ok)
        return 0;
    static const QDate base(1899, 12, 30);
    return double(base.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

int flagValue(const QString& text, bool* ok)
{
    const QString t = text.trimmed().toLower();
    *ok = true;
    if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("s"))
        return 1;
    if (t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("n"))
        return 0;
    *ok = false;
    return 0;
}

// Calls `name` with `a`; the function's return code (0 returned, 1 raised), or -1 when
// an argument is not valid (message given).
int invoke(const Module& m, const QString& name, const QStringList& a, QVariant* result)
{
    auto t = [&](int i) { return reinterpret_cast<Text>(a.at(i).utf16()); };
    bool ok = true;
    if (name == QLatin1String("GetConsumidor"))
        return m.function<int(QVariant*)>("GetConsumidor")(result);
    if (name == QLatin1String("GetSaldoConsCamp"))
        return m.function<int(Text, Text, QVariant*)>("GetSaldoConsCamp")(t(0), t(1), result);
    if (name == QLatin1String("GetBrinde"))
        return m.function<int(Text, Text, QVariant*)>("GetBrinde")(t(0), t(1), result);
    if (name == QLatin1String("getNumeroNFCe"))
        return m.function<int(Text, Text, Text, QVariant*)>("getNumeroNFCe")(t(0), t(1), t(2), result);
    if (name == QLatin1String("SetGravaCupomInicial")) {
        const double d = dateValue(a.at(3), &ok);
        if (!ok)
            return err(QStringLiteral("'%1' is not a date (YYYY-MM-DD)").arg(a.at(3))), -1;
        return m.function<int(Text, Text, Text, double, QVariant*)>("SetGravaCupomInicial")(t(0), t(1), t(2), d, result);
    }
    if (name == QLatin1String("GetSenhaCupom")) {
        const double d = dateValue(a.at(1), &ok);
        if (!ok)
            return err(QStringLiteral("'%1' is not a date (YYYY-MM-DD)").arg(a.at(1))), -1;
        return m.function<int(Text, double, QVariant*)>("GetSenhaCupom")(t(0), d, result);
    }
    const int flag = flagValue(a.at(4), &ok);
    if (!ok)
        return err(QStringLiteral("'%1' is not a flag (true or false)").arg(a.at(4))), -1;
    return m.function<int(Text, Text, Text, Text, int, QVariant*)>("setNumeroNFCe")(t(0), t(1), t(2), t(3), flag, result);
}

}  // namespace

std::optional<int> parseCallCommand(const QStringList& args, CallRequest& request)
{
    QCommandLineParser parser;
    // Arguments after the function are its own, even when they start with '-'.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(QCommandLineOption(QStringLiteral("db"), QString(), QStringLiteral("CONNSTR")));
    if (const auto status = platform::cli::parse(parser, args, "pdvhost call", usage()))
        return status;
    request.connectionString = parser.value(QStringLiteral("db"));
    QStringList rest = parser.positionalArguments();
    if (rest.isEmpty())
        return platform::cli::usageError("pdvhost call", QStringLiteral("no function named"), usage());
    const QString requested = rest.takeFirst();
    const Function* function = nullptr;
    for (const Function& f : kFunctions)
        if (requested.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            function = &f;
    if (!function)
        return platform::cli::usageError("pdvhost call", QStringLiteral("unknown function '%1'").arg(requested), usage());
    if (rest.size() != function->arguments.size()) {
        err(QStringLiteral("%1 takes %2 argument(s): %3")
                .arg(QLatin1String(function->name))
                .arg(function->arguments.size())
                .arg(function->arguments.join(QLatin1Char(' '))));
        return 2;
    }
    request.function = function->name;
    request.arguments = rest;
    return std::nullopt;
}

int runCallCommand(const CallRequest& request)
{
    if (!request.connectionString.isEmpty())
        hostkit::setStringConexQvn(request.connectionString);
    Module module;
    QString error;
    if (!module.load(&error) || !module.connect(&error))
        return err(error), 1;

    if (!module.function<void>(request.function))
        return err(QStringLiteral("the module does not export Srv_Vak04100.%1").arg(QLatin1String(request.function))), 1;
    QVariant result;
    const int rc = invoke(module, QLatin1String(request.function), request.arguments, &result);
    if (rc < 0)
        return 2;
    if (rc != 0)
        return err(result.toString()), 1;
    if (result.userType() == QMetaType::QByteArray && !platform::db::isErrorResult(result)) {
        std::fputs(platform::packetToJsonText(platform::packetFromVariant(result)).constData(), stdout);
        std::fputs("\n", stdout);
        return 0;
    }
    if (result.isValid())
        std::printf("%s\n", result.toString().toUtf8().constData());
    return platform::db::isErrorResult(result) ? 1 : 0;
}

}  // namespace pdvhost
