// possvc's screen operations through their procedure variables: the search list opened
// modally and answered by keyboard, the scripted answers, the wait indicator and faults.

#include "SearchFixture.h"

#include "host/possvc/screen/ScreenOps.h"
#include "host/possvc/screen/SearchDialog.h"
#include "host/possvc/screen/WaitIndicator.h"
#include "hostapi/possvc.h"
#include "package/ModuleLibrary.h"

#include <QApplication>
#include <QLineEdit>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace possvc::sim;
using namespace possvc_test;

bool search(platform::ClientDataSet* ds)
{
    return possvc::Pesquisa(ds, QVariant(), "N", 0xFFFFFF, 0x000000, 0x2C5BCC, 0xFFFFFF, 0);
}

// Acts on the search list once it is open (it runs its own modal loop).
void whenListOpens(std::function<void(SearchDialog*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<SearchDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

class ScreenOpsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installScreenOps();
        setScripted(false);
        clearQueues();
        ds = sampleConsumers();
    }
    void TearDown() override
    {
        clearQueues();
        setScripted(false);
        possvc::library().clearFaults();
        possvc::library().unassignAll();
    }
    std::unique_ptr<platform::ClientDataSet> ds;
};

TEST_F(ScreenOpsTest, ChosenRowBecomesTheCurrentRow)
{
    whenListOpens([](SearchDialog* d) {
        QTest::keyClicks(d->filterEdit(), "souza");
        QTest::keyClick(d->filterEdit(), Qt::Key_Enter);
    });
    EXPECT_TRUE(search(ds.get()));
    EXPECT_EQ(ds->fieldByName("NMCONSUMIDOR").asString(), "MARIA SOUZA");
}

TEST_F(ScreenOpsTest, GivingUpLeavesTheCurrentRow)
{
    ds->setRecNo(4);
    whenListOpens([](SearchDialog* d) {
        QTest::keyClick(d->filterEdit(), Qt::Key_Down);
        QTest::keyClick(d->filterEdit(), Qt::Key_Escape);
    });
    EXPECT_FALSE(search(ds.get()));
    EXPECT_EQ(ds->recNo(), 4);
}

TEST_F(ScreenOpsTest, QueuedPicksAnswerWithoutADialog)
{
    setScripted(true);
    queuePick("2");
    queuePick("NMCONSUMIDOR=ANA MARIA SILVA");
    queuePick("cdcliente=002");
    queuePick("cancel");
    EXPECT_EQ(pendingPicks(), 4);
    EXPECT_TRUE(search(ds.get()));
    EXPECT_EQ(ds->recNo(), 2);
    EXPECT_TRUE(search(ds.get()));
    EXPECT_EQ(ds->recNo(), 4);
    EXPECT_TRUE(search(ds.get()));
    EXPECT_EQ(ds->recNo(), 3) << "the first row with that value; field names ignore case";
    EXPECT_FALSE(search(ds.get()));
    EXPECT_EQ(ds->recNo(), 3);
    EXPECT_FALSE(search(ds.get())) << "scripted and nothing queued: the list gives up";
    EXPECT_EQ(pendingPicks(), 0);
}

TEST_F(ScreenOpsTest, PickNumbersCountTheRowsTheListShows)
{
    ds->setFilter("CDCLIENTE = '002'");
    ds->setFiltered(true);
    queuePick("2");
    EXPECT_TRUE(search(ds.get()));
    EXPECT_EQ(ds->fieldByName("CDCONSUMIDOR").asString(), "103");
}

TEST_F(ScreenOpsTest, PicksThatCannotBeAnsweredRaise)
{
    queuePick("9");
    EXPECT_THROW(search(ds.get()), platform::HostError);
    queuePick("NMCONSUMIDOR=NINGUÉM");
    EXPECT_THROW(search(ds.get()), platform::HostError);
    queuePick("CAMPO=1");
    try {
        search(ds.get());
        FAIL() << "no error";
    } catch (const platform::HostError& e) {
        EXPECT_EQ(e.text(), "possvc: Pesquisa: the list of cdsConsumidor has no field CAMPO");
    }
    EXPECT_THROW(queuePick("x"), platform::HostError);
    EXPECT_THROW(queuePick("0"), platform::HostError);
    EXPECT_EQ(pendingPicks(), 0);
}

TEST_F(ScreenOpsTest, ClosedDataSetGivesUp)
{
    ds->close();
    EXPECT_FALSE(search(ds.get()));
    queuePick("cancel");
    EXPECT_FALSE(search(ds.get()));
}

TEST_F(ScreenOpsTest, InjectedFaultMakesTheListGiveUp)
{
    queuePick("1");
    failNext("Pesquisa");
    EXPECT_FALSE(search(ds.get()));
    EXPECT_EQ(pendingPicks(), 1) << "a refused call answers nothing";
    EXPECT_TRUE(search(ds.get()));
    EXPECT_THROW(failNext("Desconhecida"), platform::HostError);
}

TEST_F(ScreenOpsTest, WaitIndicatorCoversTheFormUntilRemoved)
{
    QWidget form;
    form.resize(725, 582);
    form.show();
    possvc::AtivaProcesso(&form, "Aguarde! Imprimindo cupom...", 0x00FFFFFF, 0x00000000);
    auto* indicator = qobject_cast<WaitIndicator*>(activeIndicator());
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(indicator->parentWidget(), &form);
    EXPECT_EQ(indicator->geometry(), form.rect());
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_EQ(indicator->text(), "Aguarde! Imprimindo cupom...");

    const int before = indicator->step();
    EXPECT_TRUE(QTest::qWaitFor([&] { return indicator->step() != before; }, 5000))
        << "the spinner turns while events run";

    form.resize(800, 600);
    EXPECT_EQ(indicator->geometry(), form.rect());

    possvc::AtivaProcesso(&form, "Outro texto", 0, 0);
    EXPECT_EQ(activeIndicator(), indicator) << "a second call updates the indicator shown";
    EXPECT_EQ(indicator->text(), "Outro texto");

    possvc::DesativaProcesso();
    EXPECT_EQ(activeIndicator(), nullptr);
    EXPECT_TRUE(form.findChildren<WaitIndicator*>().isEmpty());
    possvc::DesativaProcesso();  // nothing shown: nothing happens
}

TEST_F(ScreenOpsTest, WaitIndicatorShowsTheAnimationTheModuleCarries)
{
    QWidget form;
    form.resize(725, 582);
    {
        WaitIndicator spokes(&form, QStringLiteral("Aguarde!"), {});
        EXPECT_FALSE(spokes.showsAnimation()) << "no module loaded: the spokes";
        EXPECT_EQ(spokes.frameCount(), 12);
    }
    testsupport::ModuleLibrary module;
    ASSERT_TRUE(module.loaded()) << module.error().toStdString();
    WaitIndicator indicator(&form, QStringLiteral("Aguarde!"), {});
    ASSERT_TRUE(indicator.showsAnimation());
    EXPECT_EQ(indicator.frameCount(), 31);
    // Every frame comes round, and after the last the first again.
    QSet<int> seen;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (seen << indicator.step()).size() == 31; }, 20000));
    const int last = indicator.step();
    EXPECT_TRUE(QTest::qWaitFor([&] { return indicator.step() != last; }, 5000));
    EXPECT_TRUE(indicator.step() == last + 1 || (last == 30 && indicator.step() == 0));
}

TEST_F(ScreenOpsTest, IndicatorGoesWithItsForm)
{
    auto form = std::make_unique<QWidget>();
    possvc::AtivaProcesso(form.get(), "Aguarde", 0, 0);
    ASSERT_NE(activeIndicator(), nullptr);
    form.reset();
    EXPECT_EQ(activeIndicator(), nullptr);
    possvc::DesativaProcesso();
}

TEST_F(ScreenOpsTest, IndicatorWithoutAFormIsAWindowOfItsOwn)
{
    possvc::AtivaProcesso(nullptr, "Aguarde", 0, 0);
    ASSERT_NE(activeIndicator(), nullptr);
    EXPECT_TRUE(activeIndicator()->isWindow());
    possvc::DesativaProcesso();
    EXPECT_EQ(activeIndicator(), nullptr);
}

}  // namespace
