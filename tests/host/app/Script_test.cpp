// Reading pdvhost scripts: every line form, and the errors that stop a script before it runs.
#include "host/app/Script.h"

#include <gtest/gtest.h>

namespace {

using pdvhost::parseScript;
using pdvhost::ScriptError;
using pdvhost::ScriptStep;

bool known(const QString& op) { return op == QLatin1String("AbreCupom") || op == QLatin1String("Pesquisa"); }

TEST(Script, ReadsEveryLineForm)
{
    ScriptError error;
    const auto steps = parseScript(QStringLiteral("# a walk\n"
                                                  "key F4 shift ctrl   # gift search\n"
                                                  "\n"
                                                  "key Esc\n"
                                                  "click blbConfirma\n"
                                                  "pick 2\npick CDCONSUMIDOR=0001\npick cancel\n"
                                                  "price 12,50\nprice DTLOJ\n"
                                                  "fail AbreCupom 3\nfail Pesquisa\n"
                                                  "screenshot shots/a.png\n"
                                                  "throw Pesquisa 2\ncrash AbreCupom\ncrash AbreCupom 4 after\n"
                                                  "crash Pesquisa before\n"),
                                   &known, &error);
    ASSERT_TRUE(steps.has_value()) << error.message.toStdString();
    ASSERT_EQ(steps->size(), 15);
    const ScriptStep& f4 = steps->at(0);
    EXPECT_EQ(f4.kind, ScriptStep::Kind::Key);
    EXPECT_EQ(f4.key, int(Qt::Key_F4));
    EXPECT_EQ(f4.modifiers, int(Qt::ShiftModifier | Qt::ControlModifier));
    EXPECT_EQ(f4.lineNumber, 2);
    EXPECT_EQ(f4.text, QStringLiteral("key F4 shift ctrl"));
    EXPECT_EQ(steps->at(1).key, int(Qt::Key_Escape));
    EXPECT_EQ(steps->at(2).argument, QStringLiteral("blbConfirma"));
    EXPECT_EQ(steps->at(4).argument, QStringLiteral("CDCONSUMIDOR=0001"));
    EXPECT_EQ(steps->at(6).argument, QStringLiteral("12,50"));
    EXPECT_EQ(steps->at(8).argument, QStringLiteral("AbreCupom"));
    EXPECT_EQ(steps->at(8).count, 3);
    EXPECT_EQ(steps->at(9).count, 1);
    EXPECT_EQ(steps->at(10).kind, ScriptStep::Kind::Screenshot);
    struct Fault {
        ScriptStep::Kind kind;
        const char* op;
        int count;
        bool after;
    };
    const Fault faults[] = {{ScriptStep::Kind::Throw, "Pesquisa", 2, false},
                            {ScriptStep::Kind::Crash, "AbreCupom", 1, false},
                            {ScriptStep::Kind::Crash, "AbreCupom", 4, true},
                            {ScriptStep::Kind::Crash, "Pesquisa", 1, false}};
    for (int i = 0; i < 4; ++i) {
        const ScriptStep& s = steps->at(11 + i);
        EXPECT_EQ(s.kind, faults[i].kind) << i;
        EXPECT_EQ(s.argument, QLatin1String(faults[i].op)) << i;
        EXPECT_EQ(s.count, faults[i].count) << i;
        EXPECT_EQ(s.after, faults[i].after) << i;
    }
}

TEST(Script, NamesTheFirstBadLine)
{
    const QList<std::pair<const char*, int>> bad = {
        {"key F4\nkey F13\n", 2},          {"key F4 meta\n", 1},       {"jump\n", 1},
        {"pick 0\n", 1},                   {"pick\n", 1},              {"fail Voa\n", 1},
        {"fail AbreCupom 0\n", 1},         {"fail AbreCupom x\n", 1},  {"click\n", 1},
        {"key\n", 1},                      {"screenshot\n", 1},
        {"throw Voa\n", 1},                {"throw AbreCupom 1 after\n", 1},
        {"crash AbreCupom later\n", 1},    {"crash AbreCupom 0 after\n", 1},
        {"crash AbreCupom 1 2 after\n", 1}, {"crash\n", 1},
    };
    for (const auto& [text, line] : bad) {
        ScriptError error;
        EXPECT_FALSE(parseScript(QString::fromLatin1(text), &known, &error).has_value()) << text;
        EXPECT_EQ(error.lineNumber, line) << text;
        EXPECT_FALSE(error.message.isEmpty()) << text;
    }
}

TEST(Script, KeyNames)
{
    EXPECT_EQ(pdvhost::keyFromName(QStringLiteral("f2")), int(Qt::Key_F2));
    EXPECT_EQ(pdvhost::keyFromName(QStringLiteral("F12")), int(Qt::Key_F12));
    EXPECT_EQ(pdvhost::keyFromName(QStringLiteral("Enter")), int(Qt::Key_Return));
    EXPECT_EQ(pdvhost::keyFromName(QStringLiteral("a")), int(Qt::Key_A));
    EXPECT_EQ(pdvhost::keyFromName(QStringLiteral("F0")), 0);
    EXPECT_EQ(pdvhost::keyFromName(QStringLiteral("ç")), 0);
}

}  // namespace
