#include "host/app/Host.h"

#include "host/app/TerminalDevices.h"
#include "host/app/ContractGuard.h"
#include "host/app/ModulePath.h"
#include "host/app/TerminalLock.h"

#include "host/fiscaldev/SimPrinter.h"
#include "host/hostkit/HostHooks.h"
#include "host/possvc/sale/PendingSales.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/screen/ScreenOps.h"
#include "hostapi/fiscaldev.h"
#include "hostapi/hostkit.h"
#include "hostapi/possvc.h"
#include "platform/Error.h"
#include "platform/ui/ErrorDisplay.h"
#include "platform/system/ProgramDirectory.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <dlfcn.h>

#include <cstdio>
#include <optional>

namespace pdvhost {

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "pdvhost: %s\n", text.toLocal8Bit().constData());
}

// ---- the module -------------------------------------------------------------------------

struct Module {
    void* handle = nullptr;
    void (*criaFidelidade)(const char16_t*, const char16_t*, const char16_t*, const char16_t*, const char16_t*) = nullptr;
    QWidget** form = nullptr;  // the module's frmFidelidade
    void (*initialize)() = nullptr;
    void (*finalize)() = nullptr;

    bool load(QString* error)
    {
        const QString path = modulePath();
        handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            *error = QString::fromLocal8Bit(dlerror());
            return false;
        }
        criaFidelidade = reinterpret_cast<decltype(criaFidelidade)>(dlsym(handle, "CriaFidelidade"));
        form = static_cast<QWidget**>(dlsym(handle, "frmFidelidade"));
        initialize = reinterpret_cast<void (*)()>(dlsym(handle, "Initialize"));
        finalize = reinterpret_cast<void (*)()>(dlsym(handle, "Finalize"));
        if (!criaFidelidade || !form || !initialize || !finalize) {
            *error = QStringLiteral("%1 lacks CriaFidelidade, frmFidelidade, Initialize or Finalize").arg(path);
            return false;
        }
        return true;
    }
    QWidget* openForm() const { return form && *form && (*form)->isVisible() ? *form : nullptr; }
};

bool knownOperation(const QString& op)
{
    return fiscaldev::library().find(op) || possvc::library().find(op);
}

// ---- the script ---------------------------------------------------------------------------

class Player {
public:
    Player(const Module& module, Transcript& transcript, const QString& outDir)
        : module_(module), transcript_(transcript), outDir_(outDir) {}

    int status = 0;
    bool finished = false;

    void play(const QList<ScriptStep>& steps)
    {
        for (const ScriptStep& step : steps) {
            QWidget* form = module_.openForm();
            if (!form) {
                say(QStringLiteral("line %1: the screen is closed; the rest of the script is not played")
                        .arg(step.lineNumber));
                break;
            }
            if (!run(step, form)) {
                status = 2;
                break;
            }
            transcript_.step(step.text, screenState(module_.form ? *module_.form : nullptr));
        }
        finished = true;
        // A script that leaves the screen open ends with the screen closed.
        if (QWidget* form = module_.openForm())
            form->close();
    }

private:
    bool run(const ScriptStep& step, QWidget* form)
    {
        switch (step.kind) {
        case ScriptStep::Kind::Key: return key(step, form);
        case ScriptStep::Kind::Click: return click(step, form);
        case ScriptStep::Kind::Pick: possvc::sim::queuePick(step.argument); return true;
        case ScriptStep::Kind::Price: possvc::sim::queuePrice(step.argument); return true;
        case ScriptStep::Kind::Fail:
        case ScriptStep::Kind::Throw:
        case ScriptStep::Kind::Crash:
        case ScriptStep::Kind::Stall: {
            const hostapi::Fault kind = step.kind == ScriptStep::Kind::Fail    ? hostapi::Fault::Refuse
                                        : step.kind == ScriptStep::Kind::Throw ? hostapi::Fault::Raise
                                        : step.kind == ScriptStep::Kind::Stall ? hostapi::Fault::Stall
                                        : step.after                           ? hostapi::Fault::CrashAfter
                                                                               : hostapi::Fault::CrashBefore;
            (fiscaldev::library().find(step.argument) ? fiscaldev::library() : possvc::library())
                .failNext(step.argument, step.count, kind);
            return true;
        }
        case ScriptStep::Kind::Screenshot: return screenshot(step, form);
        }
        return false;
    }

    bool key(const ScriptStep& step, QWidget* form)
    {
        QWidget* focus = QApplication::focusWidget();
        QWidget* target = focus && (focus == form || form->isAncestorOf(focus)) ? focus : form;
        const auto mods = Qt::KeyboardModifiers(step.modifiers);
        QPointer<QWidget> guard(target);
        QKeyEvent press(QEvent::KeyPress, step.key, mods);
        QApplication::sendEvent(target, &press);
        if (guard) {
            QKeyEvent release(QEvent::KeyRelease, step.key, mods);
            QApplication::sendEvent(target, &release);
        }
        return true;
    }

    bool click(const ScriptStep& step, QWidget* form)
    {
        auto* widget = step.argument == form->objectName() ? form : form->findChild<QWidget*>(step.argument);
        if (!widget) {
            say(QStringLiteral("line %1: the screen has no component named '%2'").arg(step.lineNumber).arg(step.argument));
            return false;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->click();  // a disabled button does nothing, as under the mouse
            return true;
        }
        const QPointF centre = QRectF(widget->rect()).center();
        QMouseEvent press(QEvent::MouseButtonPress, centre, widget->mapToGlobal(centre), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, widget->mapToGlobal(centre), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &release);
        return true;
    }

    bool screenshot(const ScriptStep& step, QWidget* form)
    {
        const QString path = QDir(outDir_).absoluteFilePath(step.argument);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!form->grab().save(path)) {
            say(QStringLiteral("line %1: cannot write %2").arg(step.lineNumber).arg(path));
            return false;
        }
        return true;
    }

    const Module& module_;
    Transcript& transcript_;
    QString outDir_;
};

// ---- the application's error display and the shown/closed events ---------------------------

struct Display {
    Transcript* transcript;
    bool gui;
};

void showError(const QString& text, void* context)
{
    auto* display = static_cast<Display*>(context);
    display->transcript->error(text);
    if (display->gui) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Erro"), text);
    } else {
        say(QStringLiteral("error: ") + text);
    }
}

class ShownWatcher : public QObject {
public:
    explicit ShownWatcher(Transcript& transcript) : transcript_(transcript) {}
    bool shown = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !shown && watched->objectName() == QLatin1String("frmFidelidade") &&
            watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
            shown = true;
            transcript_.event(QStringLiteral("shown"));
        }
        return false;
    }

private:
    Transcript& transcript_;
};

const char16_t* utf16(const QString& text)
{
    return reinterpret_cast<const char16_t*>(text.utf16());
}

void installHostLibraries(const HostOptions& o, bool scripted)
{
    platform::setProgramDirectory(QFileInfo(o.terminal).absoluteFilePath());
    if (!o.db.isEmpty())
        hostkit::setStringConexQvn(o.db);
    const QString out = o.out.isEmpty() ? QDir(o.terminal).absolutePath() : QDir(o.out).absolutePath();
    // The printer's journal (its paper) and the customer copies go with the run's output.
    fiscaldev::sim::setOutputDir(QDir(out).filePath(o.out.isEmpty() ? QStringLiteral("Fiscal") : QStringLiteral("fiscal")));
    possvc::sim::setOutputDirectory(QDir(out).filePath(o.out.isEmpty() ? QStringLiteral("Copias") : QStringLiteral("copias")));
    // The terminal's identity and its devices, whose state stays in the terminal folder.
    const TerminalDevices devices = readTerminalDevices(o.terminal);
    fiscaldev::sim::setDevice(devices.printerDir, devices.printerSerial);
    possvc::sim::config().branch = devices.branch;
    possvc::sim::config().cashRegister = devices.cashRegister;
    possvc::sim::config().satSerial = devices.satSerial;
    possvc::sim::setSatDirectory(devices.satDir);
    fiscaldev::sim::installAll();
    possvc::sim::installScreenOps();
    possvc::sim::installSaleServices();
    possvc::sim::setScripted(scripted);
    hostkit::setScriptedMessages(scripted);
    if (o.contractOnly)
        withdrawExtensions();
}

// Before the screen opens: what a crash or a lost database left half done is put right.
// The redemptions this terminal left pending are resolved (PendingSales.h), then the
// fiscal printer is left with no open receipt and no valid receipt of a sale that was not
// concluded. A pending redemption that cannot be settled now (its device's memory
// unreadable, the database failing at it) stops the terminal: a new redemption on top of
// it would leave the cashier's word and the points to chance, so the screen is not
// opened (false). Any other failure is reported on the host's log and the screen still
// opens: its own opening reports a database that is away.
bool recoverTerminal(const HostOptions& o, Transcript& transcript)
{
    QStringList done;
    try {
        done << possvc::sim::prepareScreen();
        // A receipt is the sale's when this terminal booked it under the serial its sales
        // carry (the parameters' NRSERIEIMP), with that receipt number and counter.
        const QString serial = readTerminalDevices(o.terminal).printerSerialOnSales;
        done << fiscaldev::sim::recover([serial](const QString&, const QString& receipt, const QString& counter) {
            return possvc::sim::receiptHasSale(serial, receipt, counter);
        });
    } catch (const possvc::UnsettledSale& e) {
        say(QStringLiteral("a pending redemption of this terminal cannot be settled now (%1): %2; the screen is not "
                           "opened until it can be")
                .arg(e.sale(), e.reason()));
        return false;
    } catch (const std::exception& e) {
        const QString text = QStringLiteral("recuperação do terminal incompleta: ") + QString::fromUtf8(e.what());
        say(text);  // the host's log; the screen's own opening reports a database that is away
    }
    for (const QString& line : done) {
        say(QStringLiteral("recuperação: ") + line);
        transcript.recovered(line);
    }
    return true;
}

// Takes the terminal for this process (TerminalLock.h); false, with the holder on
// stderr, when another host runs it.
bool takeTerminal(const HostOptions& o, std::unique_ptr<TerminalLock>& lock)
{
    const TerminalId id = readTerminalId();
    LockHolder holder;
    try {
        lock = TerminalLock::take(QFileInfo(o.terminal).absoluteFilePath(), id, hostkit::GetStringConexQvn(), &holder);
    } catch (const platform::Error& e) {
        say(e.text());
        return false;
    }
    if (lock)
        return true;
    say(QStringLiteral("the terminal %1 is in use by another host: %2")
            .arg(id.known() ? QStringLiteral("(%1)").arg(id.text()) : QDir(o.terminal).absolutePath(), holder.text()));
    return false;
}

}  // namespace

QJsonObject screenState(QWidget* form)
{
    if (!form)
        return {};
    QJsonObject enabled;
    for (const char* name : {"blbPesqConsumidor", "blbPesqBrinde", "blbCancelaBrinde", "blbConfirma"}) {
        auto* w = form->findChild<QWidget*>(QString::fromLatin1(name));
        enabled.insert(QString::fromLatin1(name), w ? QJsonValue(w->isEnabled()) : QJsonValue(QJsonValue::Null));
    }
    auto* consumer = form->findChild<QLabel*>(QStringLiteral("lblConsumidor"));
    auto dataSet = [form](const char* name) {
        for (QObject* child : form->findChildren<QObject*>(QString::fromLatin1(name)))
            if (child->inherits("platform::ClientDataSet"))
                return dataSetJson(child);
        return QJsonValue(QJsonValue::Null);
    };
    return {{QStringLiteral("enabled"), enabled},
            {QStringLiteral("consumer"), consumer ? consumer->text() : QString()},
            {QStringLiteral("cdsCampanha"), dataSet("cdsCampanha")},
            {QStringLiteral("cdsBrinde"), dataSet("cdsBrinde")}};
}

namespace {

// Reads the script and checks every line; says what is wrong when it cannot be played.
std::optional<QList<ScriptStep>> readScript(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(QStringLiteral("cannot read the script %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    ScriptError error;
    auto parsed = parseScript(QString::fromUtf8(file.readAll()), &knownOperation, &error);
    if (!parsed)
        say(QStringLiteral("%1:%2: %3").arg(path).arg(error.lineNumber).arg(error.message));
    return parsed;
}

bool openTranscript(Transcript& transcript, const QString& path)
{
    QString error;
    if (transcript.open(path, &error))
        return true;
    say(QStringLiteral("cannot write the transcript %1: %2").arg(path, error));
    return false;
}

// Assigns the host libraries, takes the terminal (one host per terminal) and, under that
// lock, puts right what the last run left half done (not on a host of the published
// contract alone, which recovers nothing). False when a library refuses to start, another
// host runs the terminal, or a pending redemption cannot be settled now.
bool startHostLibraries(const HostOptions& o, bool scripted, Transcript& transcript,
                        std::unique_ptr<TerminalLock>& lock)
{
    try {
        installHostLibraries(o, scripted);
    } catch (const platform::Error& e) {
        // A printer state file that cannot be read, for one: the printer refuses to start.
        say(QStringLiteral("cannot start the host libraries: ") + e.text());
        return false;
    }
    if (!takeTerminal(o, lock))
        return false;
    return o.contractOnly || recoverTerminal(o, transcript);
}

// Opens the screen through the module's entry and, with a script, plays it inside the
// screen's modal loop once the screen is shown. Returns the script's status; the module
// is finalised and the host's hooks released when the screen has closed.
int runScreen(const Module& module, const HostOptions& o, const QList<ScriptStep>& steps,
              Transcript& transcript, ShownWatcher& watcher)
{
    module.initialize();
    qApp->installEventFilter(&watcher);
    Player player(module, transcript, o.out.isEmpty() ? QDir::currentPath() : o.out);
    QTimer starter;
    if (!o.script.isEmpty()) {
        starter.setInterval(0);
        QObject::connect(&starter, &QTimer::timeout, [&] {
            if (!module.openForm() || player.finished)
                return;
            starter.stop();
            player.play(steps);
        });
        starter.start();
    }
    module.criaFidelidade(utf16(o.consumer), utf16(o.name), utf16(o.cpf), utf16(o.address), utf16(o.client));
    starter.stop();
    qApp->removeEventFilter(&watcher);
    if (watcher.shown)
        transcript.event(QStringLiteral("closed"));
    module.finalize();
    Transcript::stopObserving();
    platform::ui::setErrorDisplay(nullptr);
    return player.status;
}

}  // namespace

int runHost(const HostOptions& o)
{
    const bool scripted = !o.script.isEmpty();
    QList<ScriptStep> steps;
    if (scripted) {
        auto parsed = readScript(o.script);
        if (!parsed)
            return 2;
        steps = *std::move(parsed);
    }
    if (!o.out.isEmpty())
        QDir().mkpath(o.out);

    Transcript transcript;
    if (!o.transcript.isEmpty() && !openTranscript(transcript, o.transcript))
        return 2;
    std::unique_ptr<TerminalLock> lock;  // held until the process ends
    if (!startHostLibraries(o, scripted, transcript, lock))
        return 1;
    // Every call of the module from here on is transcribed (and, on a host of the
    // contract alone, checked). The module reports a failed opening through Mensagem; the
    // last one before the screen shows is the reason.
    ShownWatcher watcher(transcript);
    QString openingMessage;
    const ContractGuard contract(o.contractOnly, o.contractOnly ? terminalSchema() : QString());
    const hostapi::CallObserver observe = [&](const hostapi::CallRecord& r) {
        transcript.call(r);
        if (!watcher.shown && r.op == QLatin1String("Mensagem"))
            openingMessage = r.args.value(0).toString();
        contract.check(r, watcher.shown);
    };
    fiscaldev::library().setObserver(observe);
    possvc::library().setObserver(observe);
    hostkit::setCallObserver(observe);
    Display display{&transcript, !scripted};
    platform::ui::setErrorDisplay(&showError, &display);

    Module module;
    QString error;
    if (!module.load(&error)) {
        say(QStringLiteral("cannot load the module: ") + error);
        return 1;
    }
    const int status = runScreen(module, o, steps, transcript, watcher);
    // The module stays loaded until the process ends: Qt may still hold its objects' types.
    if (!watcher.shown) {
        say(QStringLiteral("the screen did not open: %1")
                .arg(openingMessage.isEmpty() ? QStringLiteral("no reason was given") : openingMessage));
        return 1;
    }
    return status;
}

}  // namespace pdvhost
