#pragma once
// Shared inside libhostkit: transcript notification and the message display without it.

#include "host/hostkit/HostHooks.h"
#include "hostapi/hostkit.h"

namespace hostkit::internal {

// Tells the call observer, if any, about one finished call.
void notifyCall(const QString& op, const QVariantList& args, const QVariant& result, bool raised = false,
                const QString& error = {});

// Runs `body`, reports the call to the observer with its result or its error, and
// returns or rethrows. R is the call's result type.
template <typename R, typename Body>
R observed(const QString& op, const QVariantList& args, Body&& body)
{
    try {
        R result = body();
        notifyCall(op, args, QVariant::fromValue(result));
        return result;
    } catch (const std::exception& e) {
        const auto* err = dynamic_cast<const platform::Error*>(&e);
        notifyCall(op, args, QVariant(), true, err ? err->text() : QString::fromUtf8(e.what()));
        throw;
    }
}

// Mensagem without the transcript (used by MensagemMetodo).
bool showMessage(const MessageRequest& request);

// Code 128 symbol values of a text: start, data, check (stop not included). Throws HostError.
// Exported for the toolkit's tests, which check the symbols themselves.
HOSTKIT_EXPORT QList<int> code128Symbols(const QString& text);

// A dataset as a transcript argument: its packet, or null.
QVariant datasetArg(platform::ClientDataSet* dataset);

}  // namespace hostkit::internal
