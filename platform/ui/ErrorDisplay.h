#pragma once
// The application's standard error display: where an error that escaped a screen's event
// handler ends up (the handler's guard hands it over; the screen stays open).
//
// The display is one per process even though this library is linked statically into the
// host program and into every module: it is kept as a property of the QCoreApplication
// object, which all of them share. Without an application, or before a host sets one,
// the default display shows a message box (GUI application) or writes to stderr.

#include <QString>

#include <exception>

namespace platform::ui {

// A display: called with the error's text and the context given to setErrorDisplay.
using ErrorDisplayFunction = void (*)(const QString& text, void* context);

// Installs the process's display (nullptr: back to the default). Needs a QCoreApplication.
void setErrorDisplay(ErrorDisplayFunction display, void* context = nullptr);

// Hands an error text to the display. Never throws.
void showError(const QString& text);

// Runs `action`; an escaped error is handed to showError. Returns false when one escaped.
template <typename Action>
bool guarded(Action&& action) noexcept;

QString errorText(std::exception_ptr error);

template <typename Action>
bool guarded(Action&& action) noexcept
{
    try {
        action();
        return true;
    } catch (...) {
        showError(errorText(std::current_exception()));
        return false;
    }
}

}  // namespace platform::ui
