// Procedure variables: the error of an unassigned operation, the call observer and the
// fault plan, on fiscaldev's own variables and on a library of the test's own.

#include "hostapi/fiscaldev.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

hostapi::ProcLib& testLib()
{
    static hostapi::ProcLib lib("testlib");
    return lib;
}

hostapi::ProcVar<bool(const QString&, QString&)> Answer(testLib(), "Answer");
hostapi::ProcVar<QDateTime(const QString&)> When(testLib(), "When");
hostapi::ProcVar<void(const QVariantList&, int, QVariant&)> Fill(testLib(), "Fill");

class ProcVarTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        testLib().unassignAll();
        testLib().clearFaults();
        testLib().setObserver({});
        fiscaldev::library().unassignAll();
        fiscaldev::library().setObserver({});
    }
};

TEST_F(ProcVarTest, UnassignedOperationRaisesNamingLibraryAndOperation)
{
    fiscaldev::AbreCupom = nullptr;
    hostapi::ParamRecord record;
    try {
        fiscaldev::AbreCupom(record);
        FAIL() << "no error";
    } catch (const platform::HostError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("fiscaldev: operation AbreCupom is not assigned"));
    }
    EXPECT_FALSE(fiscaldev::AbreCupom.assigned());
    EXPECT_EQ(fiscaldev::AbreCupom.libName(), QStringLiteral("fiscaldev"));
    EXPECT_EQ(fiscaldev::AbreCupom.opName(), QStringLiteral("AbreCupom"));
}

TEST_F(ProcVarTest, LibraryListsItsOperations)
{
    const QStringList ops = fiscaldev::library().operations();
    EXPECT_EQ(ops, (QStringList{"AbreCupom", "VendaItem", "FechaCupom", "Atu_TotGeral", "Cancela_Cupom_Imp",
                                "DataMoviFiscal"}));
    EXPECT_EQ(fiscaldev::library().find(QStringLiteral("FechaCupom")), &fiscaldev::FechaCupom);
    EXPECT_EQ(fiscaldev::library().find(QStringLiteral("Nothing")), nullptr);
}

TEST_F(ProcVarTest, CallsTheCurrentValueEachTime)
{
    Answer = [](const QString& in, QString& out) { out = in + "1"; return true; };
    QString out;
    EXPECT_TRUE(Answer("a", out));
    EXPECT_EQ(out, "a1");
    Answer = [](const QString& in, QString& out) { out = in + "2"; return false; };
    EXPECT_FALSE(Answer("a", out));
    EXPECT_EQ(out, "a2");
}

TEST_F(ProcVarTest, ObserverSeesArgumentsResultAndOutValues)
{
    QList<hostapi::CallRecord> calls;
    testLib().setObserver([&](const hostapi::CallRecord& r) { calls.append(r); });
    Fill = [](const QVariantList& block, int highest, QVariant& vo) { vo = QVariantList{block.value(highest), 7}; };
    QVariant vo = QVariantList{QVariant(), QVariant()};
    Fill(QVariantList{"x", "y"}, 1, vo);
    ASSERT_EQ(calls.size(), 1);
    const hostapi::CallRecord& r = calls.first();
    EXPECT_EQ(r.lib, "testlib");
    EXPECT_EQ(r.op, "Fill");
    ASSERT_EQ(r.args.size(), 3);
    EXPECT_EQ(r.args[0].toList(), (QVariantList{"x", "y"}));
    EXPECT_EQ(r.args[1].toInt(), 1);
    EXPECT_EQ(r.args[2].toList().size(), 2);  // voRetorno as passed, before the call
    EXPECT_EQ(r.args[2].toList().value(1), QVariant());
    EXPECT_FALSE(r.hasResult);
    ASSERT_EQ(r.out.size(), 1);
    EXPECT_EQ(r.out[0].toList(), (QVariantList{"y", 7}));
    EXPECT_FALSE(r.raised);
}

TEST_F(ProcVarTest, ObserverSeesTheErrorOfACallThatRaised)
{
    QList<hostapi::CallRecord> calls;
    testLib().setObserver([&](const hostapi::CallRecord& r) { calls.append(r); });
    QString out;
    EXPECT_THROW(Answer("q", out), platform::HostError);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_TRUE(calls[0].raised);
    EXPECT_EQ(calls[0].error, "testlib: operation Answer is not assigned");
    EXPECT_EQ(calls[0].args, (QVariantList{"q", ""}));
    EXPECT_TRUE(calls[0].out.isEmpty());
}

TEST_F(ProcVarTest, FaultPlanFailsTheNthNextCallOnly)
{
    int calls = 0;
    Answer = [&](const QString&, QString&) { ++calls; return true; };
    testLib().failNext("Answer", 2);
    testLib().failNext("Answer", 4);
    QString out;
    QList<bool> results;
    for (int i = 0; i < 5; ++i)
        results.append(Answer("", out));
    EXPECT_EQ(results, (QList<bool>{true, false, true, false, true}));
    EXPECT_EQ(calls, 3);  // a refused call never reaches the implementation
    EXPECT_EQ(testLib().pendingFaults("Answer"), 0);
}

TEST_F(ProcVarTest, FaultOnAnOperationWithoutBooleanResultRaises)
{
    When = [](const QString&) { return QDateTime(QDate(2026, 1, 2), QTime(0, 0)); };
    testLib().failNext("When");
    try {
        When("x");
        FAIL() << "no error";
    } catch (const platform::HostError& e) {
        EXPECT_EQ(e.text(), "testlib: operation When failed (fault injected by the host)");
    }
    EXPECT_EQ(When("x").date(), QDate(2026, 1, 2));
}

TEST_F(ProcVarTest, PlannedRaiseAndCrash)
{
    int calls = 0;
    Answer = [&](const QString&, QString&) { ++calls; return true; };
    testLib().failNext("Answer", 1, hostapi::Fault::Raise);
    QString out;
    EXPECT_THROW(Answer("", out), platform::HostError);
    EXPECT_EQ(calls, 0);
    // A crash ends the process at once, before or after the call ran.
    for (const auto kind : {hostapi::Fault::CrashBefore, hostapi::Fault::CrashAfter}) {
        EXPECT_EXIT(
            {
                Answer = [](const QString&, QString&) {
                    std::fputs("ran\n", stderr);
                    return true;
                };
                testLib().failNext("Answer", 2, kind);
                QString o;
                Answer("", o);
                Answer("", o);
                std::fputs("returned\n", stderr);
            },
            ::testing::ExitedWithCode(hostapi::kCrashExitStatus),
            kind == hostapi::Fault::CrashBefore ? "^ran\n$" : "^ran\nran\n$");
    }
}

TEST_F(ProcVarTest, RefusalReplacesTheDefaultFailure)
{
    Answer = [](const QString&, QString&) { return true; };
    Answer.setRefusal([](const QString&, QString& out) { out = "recusado"; return false; });
    testLib().failNext("Answer");
    QString out;
    EXPECT_FALSE(Answer("", out));
    EXPECT_EQ(out, "recusado");
    Answer.setRefusal(nullptr);
}

TEST_F(ProcVarTest, FaultPlanRejectsUnknownOperationsAndBadCounts)
{
    EXPECT_THROW(testLib().failNext("Nope"), platform::HostError);
    EXPECT_THROW(testLib().failNext("Answer", 0), platform::HostError);
    EXPECT_EQ(testLib().pendingFaults("Answer"), 0);
}

}  // namespace
