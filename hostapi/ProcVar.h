#pragma once
// Procedure variables: the operations of a host library (fiscaldev, possvc) as variables
// that the library defines and the host assigns. The module calls through the variable's
// current value at every call, so the host may reassign an operation at any time.
//
// ProcLib   one per host library: its name, the registry of its procedure variables, an
//           optional call observer (the reference host's transcript) and a fault plan
//           (the reference host's "fail", "throw" and "crash" script lines). Lives as long
//           as the library.
// ProcVar   one operation. operator() calls the assigned function; calling an unassigned
//           variable throws platform::HostError "LIB: operation OP is not assigned".
//
// Not thread-safe: host operations are called on the screen's thread only.

#include "hostapi/CallRecord.h"
#include "platform/Error.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace hostapi {

// ---- argument conversion for observers ---------------------------------------------

template <typename T> struct IsQListOfPointers : std::false_type {};
template <typename T> struct IsQListOfPointers<QList<T*>> : std::true_type {};

template <typename T>
QVariant toCallValue(const T& value)
{
    if constexpr (std::is_same_v<T, QVariant>) {
        return value;
    } else if constexpr (std::is_pointer_v<T>) {
        using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
        static_assert(std::is_base_of_v<QObject, Pointee>, "host operations pass QObject pointers only");
        return QVariant::fromValue(static_cast<QObject*>(const_cast<Pointee*>(value)));
    } else if constexpr (IsQListOfPointers<T>::value) {
        QVariantList list;
        for (auto* item : value)
            list.append(toCallValue(item));
        return list;
    } else {
        return QVariant::fromValue(value);
    }
}

// An argument declared as a non-const lvalue reference is an out-value of the call.
template <typename A>
inline constexpr bool isOutArgument =
    std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

// ---- library registry ----------------------------------------------------------------

class ProcVarBase;

// What a planned fault does to the call it hits.
enum class Fault {
    Refuse,       // the operation's refusal: false, or its device's answer, or an error where it has no answer
    Raise,        // the call raises HostError without running
    CrashBefore,  // the process ends at once, before the call runs (a power cut)
    CrashAfter,   // the call runs, then the process ends before the caller sees its result
    Stall,        // the process stops (SIGSTOP) before the call runs, as a host stalled there, and
                  // runs the call when it is continued (SIGCONT)
};

// The exit status of a process ended by a planned crash.
inline constexpr int kCrashExitStatus = 86;

// Ends the process at once: no destructors, no exit handlers, no buffers flushed, as a
// power cut would; what was already written to files stays.
[[noreturn]] inline void crashNow()
{
    std::_Exit(kCrashExitStatus);
}

// Stops the process where it stands until another process continues it: what a host
// stalled inside a call (a device that does not answer) looks like from outside.
inline void stallHere()
{
    std::raise(SIGSTOP);
}

// A host library's registry. The library defines exactly one (a function-local static
// behind an accessor, so that its procedure variables can register during static
// initialisation in any order).
class ProcLib {
public:
    explicit ProcLib(const char* name) : name_(QString::fromLatin1(name)) {}
    ProcLib(const ProcLib&) = delete;
    ProcLib& operator=(const ProcLib&) = delete;

    const QString& name() const { return name_; }

    // Every procedure variable of the library, in declaration order of registration.
    const std::vector<ProcVarBase*>& vars() const { return vars_; }
    ProcVarBase* find(const QString& op) const;  // nullptr when the library has no such op
    QStringList operations() const;
    void unassignAll();

    // Observer of every call through this library's variables (and of its observed
    // ordinary functions). An empty function removes it.
    void setObserver(CallObserver observer) { observer_ = std::move(observer); }
    const CallObserver& observer() const { return observer_; }

    // Fault plan: the n-th next call (n >= 1) of `op` fails as `kind` says. Several plans
    // for one op add up ("fail AbreCupom 1" and "fail AbreCupom 3" fail the 1st and the
    // 3rd; when two hit one call, the first planned wins). Throws HostError for an
    // unknown operation or n < 1.
    void failNext(const QString& op, int n = 1, Fault kind = Fault::Refuse);
    void clearFaults() { faults_.clear(); }
    // Counts one call of `op` against the plan; the fault of this call, if any.
    std::optional<Fault> takeFault(const QString& op);
    int pendingFaults(const QString& op) const { return faults_.value(op).size(); }

private:
    friend class ProcVarBase;
    void add(ProcVarBase* var) { vars_.push_back(var); }

    QString name_;
    std::vector<ProcVarBase*> vars_;
    CallObserver observer_;
    struct Planned {
        int remaining;  // calls until the fault, this one included
        Fault kind;
    };
    QMap<QString, QList<Planned>> faults_;
};

// Untyped part of a procedure variable: names and registry membership.
class ProcVarBase {
public:
    ProcVarBase(ProcLib& lib, const char* op) : lib_(lib), op_(QString::fromLatin1(op)) { lib.add(this); }
    ProcVarBase(const ProcVarBase&) = delete;
    ProcVarBase& operator=(const ProcVarBase&) = delete;
    virtual ~ProcVarBase() = default;

    ProcLib& library() const { return lib_; }
    const QString& libName() const { return lib_.name(); }
    const QString& opName() const { return op_; }
    virtual bool assigned() const = 0;
    virtual void unassign() = 0;

protected:
    [[noreturn]] void raiseUnassigned() const
    {
        throw platform::HostError(QStringLiteral("%1: operation %2 is not assigned").arg(libName(), op_));
    }
    [[noreturn]] void raiseInjected() const
    {
        throw platform::HostError(QStringLiteral("%1: operation %2 failed (fault injected by the host)").arg(libName(), op_));
    }

private:
    ProcLib& lib_;
    QString op_;
};

inline ProcVarBase* ProcLib::find(const QString& op) const
{
    for (auto* var : vars_)
        if (var->opName() == op)
            return var;
    return nullptr;
}

inline QStringList ProcLib::operations() const
{
    QStringList names;
    for (auto* var : vars_)
        names.append(var->opName());
    return names;
}

inline void ProcLib::unassignAll()
{
    for (auto* var : vars_)
        var->unassign();
}

inline void ProcLib::failNext(const QString& op, int n, Fault kind)
{
    if (!find(op))
        throw platform::HostError(QStringLiteral("%1: there is no operation named %2").arg(name_, op));
    if (n < 1)
        throw platform::HostError(QStringLiteral("%1: the call number of a fault must be at least 1 (got %2)").arg(name_).arg(n));
    faults_[op].append(Planned{n, kind});
}

inline std::optional<Fault> ProcLib::takeFault(const QString& op)
{
    auto it = faults_.find(op);
    if (it == faults_.end())
        return std::nullopt;
    std::optional<Fault> fault;
    QList<Planned>& plans = it.value();
    for (int i = plans.size() - 1; i >= 0; --i) {
        if (--plans[i].remaining == 0) {
            fault = plans[i].kind;
            plans.removeAt(i);
        }
    }
    if (plans.isEmpty())
        faults_.erase(it);
    return fault;
}

// Runs a call with the observer of `lib`, when there is one: records the arguments
// before and the by-reference arguments and the result after the call. Rethrows what
// the call throws. R(Args...) is the operation's declared signature, which decides
// which arguments are out-values.
template <typename R, typename... Args>
struct ObservedCall {
    template <typename Call>
    static R run(const ProcLib& lib, const QString& op, Call&& call, std::remove_reference_t<Args>&... args)
    {
        const CallObserver& observer = lib.observer();
        if (!observer)
            return call();
        CallRecord record;
        record.lib = lib.name();
        record.op = op;
        (record.args.append(toCallValue(std::as_const(args))), ...);
        auto collectOut = [&] {
            ([&] {
                if constexpr (isOutArgument<Args>)
                    record.out.append(toCallValue(std::as_const(args)));
            }(), ...);
        };
        try {
            if constexpr (std::is_void_v<R>) {
                call();
                collectOut();
                observer(record);
            } else {
                R result = call();
                record.result = toCallValue(std::as_const(result));
                record.hasResult = true;
                collectOut();
                observer(record);
                return result;
            }
        } catch (const platform::Error& e) {
            notifyRaised(observer, record, e.text());
            throw;
        } catch (const std::exception& e) {
            notifyRaised(observer, record, QString::fromUtf8(e.what()));
            throw;
        }
    }

private:
    static void notifyRaised(const CallObserver& observer, CallRecord& record, const QString& text)
    {
        record.raised = true;
        record.error = text;
        record.result = QVariant();
        record.hasResult = false;
        record.out.clear();
        observer(record);
    }
};

// Calls an ordinary library function (not a procedure variable) under the library's
// observer: `observed<R(Args...)>(lib, "Name", impl, args...)`.
template <typename Signature> struct Observed;
template <typename R, typename... Args>
struct Observed<R(Args...)> {
    template <typename Impl>
    static R call(const ProcLib& lib, const char* op, Impl&& impl, std::remove_reference_t<Args>&... args)
    {
        auto invoke = [&]() -> R { return impl(static_cast<Args>(args)...); };
        return ObservedCall<R, Args...>::run(lib, QString::fromLatin1(op), invoke, args...);
    }
};

template <typename Signature> class ProcVar;

// One operation of a host library, typed by its signature. By-value and const-reference
// parameters are inputs; non-const reference parameters are results the callee fills.
template <typename R, typename... Args>
class ProcVar<R(Args...)> final : public ProcVarBase {
public:
    using Function = std::function<R(Args...)>;

    ProcVar(ProcLib& lib, const char* op) : ProcVarBase(lib, op) {}

    ProcVar& operator=(Function function) { function_ = std::move(function); return *this; }
    ProcVar& operator=(std::nullptr_t) { function_ = nullptr; return *this; }
    bool assigned() const override { return static_cast<bool>(function_); }
    void unassign() override { function_ = nullptr; }
    const Function& function() const { return function_; }

    // What a planned fault does instead of the call. Default: an operation returning bool
    // returns false, any other operation throws HostError. A library may set a refusal
    // that also fills the by-reference results as its device would.
    void setRefusal(Function refusal) { refusal_ = std::move(refusal); }
    // Assigns an operation together with its device's refusal, so that the two are set
    // in one place.
    void assign(Function function, Function refusal)
    {
        function_ = std::move(function);
        refusal_ = std::move(refusal);
    }

    // Calls the current value; throws HostError when unassigned. A planned fault of the
    // library (ProcLib::failNext) replaces the call by the refusal.
    R operator()(Args... args) const
    {
        auto call = [&]() -> R {
            if (!function_)
                raiseUnassigned();
            const std::optional<Fault> fault = library().takeFault(opName());
            if (!fault)
                return function_(static_cast<Args>(args)...);
            switch (*fault) {
            case Fault::Refuse:
                return refuse(args...);
            case Fault::Raise:
                raiseInjected();
            case Fault::CrashBefore:
                crashNow();
            case Fault::Stall:
                stallHere();
                return function_(static_cast<Args>(args)...);
            case Fault::CrashAfter:
                break;
            }
            if constexpr (!std::is_void_v<R>) {
                [[maybe_unused]] R result = function_(static_cast<Args>(args)...);
                crashNow();
            } else {
                function_(static_cast<Args>(args)...);
                crashNow();
            }
        };
        return ObservedCall<R, Args...>::run(library(), opName(), call, args...);
    }

private:
    R refuse(Args&... args) const
    {
        if (refusal_)
            return refusal_(static_cast<Args>(args)...);
        if constexpr (std::is_same_v<R, bool>)
            return false;
        else
            raiseInjected();
    }

    Function function_;
    Function refusal_;
};

}  // namespace hostapi
