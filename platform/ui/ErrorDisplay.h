#pragma once
// The application's standard error display: where an error that escaped a screen's event
// handler ends up (the handler's guard hands it over; the screen stays open).
//
// The display is one per process: it is kept as properties of the QCoreApplication
// object, which the host program and every module it loads share, whichever copy of this
// library each of them reaches. Until a display is set (or without an application) the
// default one shows a critical message box titled "Erro" in a GUI application and writes
// the text to stderr otherwise.

#include "PlatformUiExport.h"

#include <QString>

#include <exception>

namespace platform::ui {

// A display: called with the error's text and the context given to setErrorDisplay.
using ErrorDisplayFunction = void (*)(const QString& text, void* context);

// Installs the process's display (nullptr: back to the default). Without a
// QCoreApplication there is nowhere to keep it, and nothing happens.
PLATFORM_UI_EXPORT void setErrorDisplay(ErrorDisplayFunction display, void* context = nullptr);

// Hands an error text to the display. Never throws.
PLATFORM_UI_EXPORT void showError(const QString& text);

// Runs `action`; an escaped error is handed to showError. Returns false when one escaped.
template <typename Action>
bool guarded(Action&& action) noexcept;

// The text of an error: a platform error's text, an exception's what(), "Erro
// desconhecido." for anything else; empty for no error.
PLATFORM_UI_EXPORT QString errorText(std::exception_ptr error);

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
