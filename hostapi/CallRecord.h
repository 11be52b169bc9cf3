#pragma once
// One call of a host library's operation as an observer (the reference host's
// transcript, tests) sees it after the call: the procedure variables of fiscaldev and
// possvc and the transcribed routines of hostkit report their calls in this one shape.

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>

namespace hostapi {

// Values are converted with toCallValue() (ProcVar.h): QObject-derived pointers (forms,
// datasets) travel as QVariant holding QObject*, a hostkit dataset as its packet.
struct CallRecord {
    QString lib;
    QString op;
    QVariantList args;     // every argument as passed, in order (before the call)
    QVariant result;       // null for an operation without result
    bool hasResult = false;
    QVariantList out;      // by-reference arguments after the call, in their order
    bool raised = false;   // the call threw; `error` holds its text, result/out are empty
    QString error;
};

using CallObserver = std::function<void(const CallRecord&)>;

}  // namespace hostapi
