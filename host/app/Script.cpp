#include "host/app/Script.h"

#include <QRegularExpression>
#include <QStringList>

namespace pdvhost {

int keyFromName(const QString& name)
{
    const QString n = name.toLower();
    static const QList<std::pair<const char*, int>> named = {
        {"esc", Qt::Key_Escape},   {"escape", Qt::Key_Escape}, {"enter", Qt::Key_Return},
        {"return", Qt::Key_Return}, {"tab", Qt::Key_Tab},      {"space", Qt::Key_Space},
        {"up", Qt::Key_Up},         {"down", Qt::Key_Down},    {"left", Qt::Key_Left},
        {"right", Qt::Key_Right},   {"home", Qt::Key_Home},    {"end", Qt::Key_End},
        {"pgup", Qt::Key_PageUp},   {"pgdn", Qt::Key_PageDown}, {"backspace", Qt::Key_Backspace},
        {"delete", Qt::Key_Delete},
    };
    for (const auto& [text, key] : named)
        if (n == QLatin1String(text))
            return key;
    static const QRegularExpression function(QStringLiteral("^f([1-9]|1[0-2])$"));
    const auto m = function.match(n);
    if (m.hasMatch())
        return Qt::Key_F1 + m.captured(1).toInt() - 1;
    if (n.size() == 1 && n[0].isLetterOrNumber() && n[0].unicode() < 128)
        return n[0].toUpper().unicode();  // Qt::Key_A… and Qt::Key_0… are the ASCII codes
    return 0;
}

namespace {

bool parseKey(const QStringList& words, ScriptStep& step, QString* why)
{
    if (words.size() < 2) {
        *why = QStringLiteral("key needs a key name");
        return false;
    }
    step.key = keyFromName(words[1]);
    if (!step.key) {
        *why = QStringLiteral("unknown key '%1'").arg(words[1]);
        return false;
    }
    for (int i = 2; i < words.size(); ++i) {
        const QString m = words[i].toLower();
        if (m == QLatin1String("shift"))
            step.modifiers |= Qt::ShiftModifier;
        else if (m == QLatin1String("ctrl"))
            step.modifiers |= Qt::ControlModifier;
        else if (m == QLatin1String("alt"))
            step.modifiers |= Qt::AltModifier;
        else {
            *why = QStringLiteral("unknown modifier '%1' (shift, ctrl, alt)").arg(words[i]);
            return false;
        }
    }
    return true;
}

bool parsePick(const QString& rest, QString* why)
{
    if (rest == QLatin1String("cancel"))
        return true;
    bool number = false;
    const int n = rest.toInt(&number);
    if (number) {
        if (n >= 1)
            return true;
        *why = QStringLiteral("pick N counts from 1");
        return false;
    }
    const int eq = rest.indexOf(QLatin1Char('='));
    if (eq > 0)
        return true;
    *why = QStringLiteral("pick takes N, FIELD=VALUE or cancel");
    return false;
}

// fail|throw|stall OPERATION [N], crash OPERATION [N] [before|after].
bool parseFault(const QStringList& words, bool (*knownOperation)(const QString&), ScriptStep& step, QString* why)
{
    const QString verb = words[0].toLower();
    step.argument = words[1];
    QStringList rest = words.mid(2);
    if (step.kind == ScriptStep::Kind::Crash && !rest.isEmpty()) {
        const QString when = rest.last().toLower();
        if (when == QLatin1String("before") || when == QLatin1String("after")) {
            step.after = when == QLatin1String("after");
            rest.removeLast();
        }
    }
    if (rest.size() > 1) {
        *why = step.kind == ScriptStep::Kind::Crash
                   ? QStringLiteral("crash takes an operation, an optional count and an optional before or after")
                   : QStringLiteral("%1 takes an operation and an optional count").arg(verb);
        return false;
    }
    if (rest.size() == 1) {
        bool ok = false;
        step.count = rest[0].toInt(&ok);
        if (!ok || step.count < 1) {
            *why = QStringLiteral("the count of %1 must be a whole number of at least 1").arg(verb);
            return false;
        }
    }
    if (knownOperation && !knownOperation(step.argument)) {
        *why = QStringLiteral("no host operation is named '%1'").arg(step.argument);
        return false;
    }
    return true;
}

bool parseLine(const QStringList& words, const QString& rest, bool (*knownOperation)(const QString&),
               ScriptStep& step, QString* why)
{
    const QString verb = words[0].toLower();
    if (verb == QLatin1String("key")) {
        step.kind = ScriptStep::Kind::Key;
        return parseKey(words, step, why);
    }
    if (rest.isEmpty()) {
        *why = QStringLiteral("'%1' needs an argument").arg(words[0]);
        return false;
    }
    step.argument = rest;
    if (verb == QLatin1String("click")) {
        step.kind = ScriptStep::Kind::Click;
        return true;
    }
    if (verb == QLatin1String("pick")) {
        step.kind = ScriptStep::Kind::Pick;
        return parsePick(rest, why);
    }
    if (verb == QLatin1String("price")) {
        step.kind = ScriptStep::Kind::Price;
        return true;
    }
    if (verb == QLatin1String("screenshot")) {
        step.kind = ScriptStep::Kind::Screenshot;
        return true;
    }
    if (verb == QLatin1String("fail") || verb == QLatin1String("throw") || verb == QLatin1String("crash")
        || verb == QLatin1String("stall")) {
        step.kind = verb == QLatin1String("fail")    ? ScriptStep::Kind::Fail
                    : verb == QLatin1String("throw") ? ScriptStep::Kind::Throw
                    : verb == QLatin1String("stall") ? ScriptStep::Kind::Stall
                                                     : ScriptStep::Kind::Crash;
        return parseFault(words, knownOperation, step, why);
    }
    *why = QStringLiteral("unknown action '%1'").arg(words[0]);
    return false;
}

}  // namespace

std::optional<QList<ScriptStep>> parseScript(const QString& text, bool (*knownOperation)(const QString&),
                                             ScriptError* error)
{
    QList<ScriptStep> steps;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        const int hash = line.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")));
        const QString rest = line.mid(words[0].size()).trimmed();
        ScriptStep step;
        step.lineNumber = i + 1;
        step.text = line;
        QString why;
        if (!parseLine(words, rest, knownOperation, step, &why)) {
            if (error)
                *error = ScriptError{i + 1, why};
            return std::nullopt;
        }
        steps << step;
    }
    return steps;
}

}  // namespace pdvhost
