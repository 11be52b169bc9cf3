#pragma once
// The reference host's scripts: one action a line, '#' starts a comment.
//
//   key F2 … key F5, key Esc, key F4 shift     a key press to the screen (modifiers: shift, ctrl, alt)
//   click NAME                                 a click on the component of that name
//   pick N | pick FIELD=VALUE | pick cancel    the answer of the next search list
//   price TEXT                                 the answer of the next price lookup
//   fail OPERATION [N]                         the N-th next call of that host operation fails
//                                              (answers false, or its refusal)
//   throw OPERATION [N]                        the N-th next call raises an error
//   crash OPERATION [N] [before|after]         the host process ends at once (a power cut)
//                                              before (default) or after the N-th next call
//   stall OPERATION [N]                        the host process stops (SIGSTOP) before the N-th
//                                              next call, and makes it when continued (SIGCONT)
//   screenshot FILE.png                        the screen as shown
//
// parseScript checks every line before anything runs; a bad line is an error naming it.

#include <QList>
#include <QString>

#include <optional>

namespace pdvhost {

struct ScriptStep {
    enum class Kind { Key, Click, Pick, Price, Fail, Throw, Crash, Stall, Screenshot };
    Kind kind = Kind::Key;
    int lineNumber = 0;
    QString text;       // the line as written, without comment and outer blanks
    int key = 0;        // Qt::Key for Key
    int modifiers = 0;  // Qt::KeyboardModifiers for Key
    QString argument;   // component name, pick text, price text, operation, file
    int count = 1;      // N of fail, throw, crash and stall
    bool after = false; // crash after the call rather than before it
};

struct ScriptError {
    int lineNumber = 0;
    QString message;
};

// Parses a whole script. `knownOperation` tells whether a host operation exists (for
// fail lines). Returns the steps, or the first error.
std::optional<QList<ScriptStep>> parseScript(const QString& text, bool (*knownOperation)(const QString&),
                                             ScriptError* error);

// The Qt key of a key name (F1…F12, Esc, Enter, Tab, Space, Up, Down, Left, Right,
// Home, End, PgUp, PgDn, Backspace, Delete, a letter or digit); 0 when unknown.
int keyFromName(const QString& name);

}  // namespace pdvhost
