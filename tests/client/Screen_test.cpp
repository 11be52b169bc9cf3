// The window, the key map and the enabling rules.
#include "ScreenFixture.h"

#include <QLabel>

namespace {

using testsupport::Botoes;
using testsupport::ScreenFixture;

class ScreenTest : public ScreenFixture {};

TEST_F(ScreenTest, WindowIsBorderlessFixedAndTitled)
{
    abre();
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form->size(), QSize(725, 582));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Programa de Fidelidade"));
    EXPECT_EQ(form->Shape1->geometry(), QRect(0, 0, 725, 582));
    EXPECT_EQ(form->Shape1->penColor, QColor(0xCC, 0x5B, 0x2C));
    EXPECT_EQ(form->Shape1->penWidth, 2);
}

TEST_F(ScreenTest, EveryComponentAtItsPlace)
{
    abre();
    const QList<std::pair<const char*, QRect>> lugares = {
        {"lblTitulo", {201, 15, 314, 26}},         {"lblConsumidorInf", {10, 59, 192, 26}},
        {"lblConsumidor", {10, 88, 505, 16}},      {"blbPesqConsumidor", {655, 63, 60, 50}},
        {"blbAnteriorCamp", {662, 116, 49, 46}},   {"panCampanha", {9, 122, 643, 150}},
        {"blbProximoCamp", {662, 240, 49, 46}},    {"lblBrinde", {10, 282, 192, 26}},
        {"blbAnteriorBrinde", {662, 300, 49, 46}}, {"panBrinde", {9, 304, 643, 175}},
        {"blbPesqBrinde", {655, 350, 60, 50}},     {"blbCancelaBrinde", {655, 414, 60, 50}},
        {"blbProximoBrinde", {661, 464, 49, 46}},  {"blbConfirma", {655, 514, 60, 50}},
        {"lblPesqConsumidor", {17, 547, 167, 17}}, {"lblCancelaBrinde", {192, 547, 167, 17}},
        {"lblPesqBrinde", {354, 547, 167, 17}},    {"lblCodTela", {535, 565, 178, 13}},
        {"lblSair", {684, 5, 37, 30}},
    };
    for (const auto& [nome, lugar] : lugares) {
        QWidget* w = form->componente(QString::fromLatin1(nome));
        ASSERT_NE(w, nullptr) << nome;
        EXPECT_EQ(w->geometry(), lugar) << nome;
    }
    // The grids fill their panels.
    EXPECT_EQ(form->dbgCampanha->geometry(), QRect(0, 0, 643, 150));
    EXPECT_EQ(form->dbgBrinde->geometry(), QRect(0, 0, 643, 175));
}

TEST_F(ScreenTest, TextsFontsAndColours)
{
    abre();
    const QColor acento(0xCC, 0x5B, 0x2C);
    EXPECT_EQ(form->lblTitulo->text(), QStringLiteral("Programa de Fidelidade"));
    EXPECT_EQ(form->lblTitulo->font().pixelSize(), 16);
    EXPECT_TRUE(form->lblTitulo->font().bold());
    EXPECT_EQ(form->lblTitulo->font().family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(form->lblConsumidorInf->font().pixelSize(), 13);
    EXPECT_EQ(form->lblPesqBrinde->text(), QStringLiteral("F4 - Pesquisar Brinde"));
    EXPECT_EQ(form->lblPesqBrinde->palette().color(QPalette::WindowText), acento);
    EXPECT_EQ(form->lblCancelaBrinde->font().pixelSize(), 11);
    EXPECT_TRUE(form->lblCodTela->alignment() & Qt::AlignRight);
    EXPECT_EQ(form->blbPesqConsumidor->text(), QStringLiteral("F2"));
    EXPECT_EQ(form->blbPesqConsumidor->hint(), QStringLiteral("Pesquisar Consumidor"));
    EXPECT_EQ(form->blbPesqBrinde->hint(), QStringLiteral("Pesquisar Brinde"));
    EXPECT_EQ(form->blbCancelaBrinde->hint(), QStringLiteral("Cancelar Brinde"));
    EXPECT_EQ(form->blbConfirma->hint(), QStringLiteral("Confirmar"));
    EXPECT_TRUE(form->blbConfirma->text().isEmpty());
    EXPECT_EQ(form->blbConfirma->faceColor(), QColor(0x22, 0xDD, 0x64));
    EXPECT_EQ(form->blbConfirma->disabledFaceColor(), QColor(0xCC, 0xCC, 0xCC));
    EXPECT_EQ(form->blbPesqBrinde->disabledTextColor(), QColor(Qt::white));
    EXPECT_EQ(form->blbPesqBrinde->pressedFaceColor(), QColor(Qt::red));
    EXPECT_EQ(form->blbAnteriorCamp->shape(), hostkit::TBlendedBitBtn::Shape::Circle);
    EXPECT_FALSE(form->blbAnteriorCamp->showHint());
    EXPECT_EQ(form->lblSair->shape(), hostkit::TBlendedBitBtn::Shape::RoundRect);
    // Grid columns: titles, widths, title band.
    auto* modelo = form->dbgCampanha->dataSetModel();
    const QStringList titulos{QStringLiteral("Campanha"), QStringLiteral("Saldo Atual"), QStringLiteral("Restante"),
                              QStringLiteral("Voucher (Pontos)")};
    const QList<int> larguras{190, 120, 120, 212};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(modelo->headerData(c, Qt::Horizontal).toString(), titulos[c]);
        EXPECT_EQ(form->dbgCampanha->columnWidth(c), larguras[c]);
    }
    EXPECT_EQ(form->dbgBrinde->columnWidth(0), 512);
    EXPECT_EQ(form->dbgBrinde->columnWidth(1), 130);
    EXPECT_EQ(form->dbgCampanha->gridStyle().titleColor, acento);
    EXPECT_EQ(form->dbgCampanha->gridStyle().titleFont.pixelSize(), 13);
}

TEST_F(ScreenTest, EnablingWhenOpenedWithoutAConsumer)
{
    abre();
    EXPECT_EQ(botoes(), (Botoes{true, false, false, false}));
    EXPECT_TRUE(form->cdsConsumidor->active());
    EXPECT_EQ(form->cdsConsumidor->recordCount(), 2);
}

TEST_F(ScreenTest, EnablingWhenOpenedForAConsumer)
{
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    EXPECT_EQ(botoes(), (Botoes{false, true, false, false}));
    EXPECT_EQ(form->lblConsumidor->text(), QStringLiteral("Ana Souza"));
    EXPECT_FALSE(form->cdsConsumidor->active());
}

TEST_F(ScreenTest, AConsumerWithoutCampaignsLeavesF4Disabled)
{
    abre(QStringLiteral("C2"), QStringLiteral("Bruno Lima"));
    EXPECT_EQ(botoes(), (Botoes{false, false, false, false}));
}

TEST_F(ScreenTest, EnablingFollowsTheSelectedGifts)
{
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    fakes.picks = {1};
    tecla(Qt::Key_F4);
    EXPECT_EQ(botoes(), (Botoes{false, true, true, true}));
    tecla(Qt::Key_F3);
    EXPECT_EQ(botoes(), (Botoes{false, true, false, false}));
    EXPECT_FALSE(form->cdsBrinde->active());
    // F3 and F5 do nothing until a new gift is chosen.
    tecla(Qt::Key_F3);
    tecla(Qt::Key_F5);
    EXPECT_TRUE(fakes.messages.isEmpty());
}

TEST_F(ScreenTest, AConsumerChoiceEmptiesTheGiftsAndDisablesF3AndF5)
{
    abre();
    fakes.picks = {1};  // Ana
    tecla(Qt::Key_F2);
    EXPECT_EQ(botoes(), (Botoes{true, true, false, false}));
    fakes.picks = {1};  // a gift
    tecla(Qt::Key_F4);
    EXPECT_EQ(botoes(), (Botoes{true, true, true, true}));
    fakes.picks = {2};  // Bruno, who has no campaign
    tecla(Qt::Key_F2);
    EXPECT_EQ(brindes(), 0);
    EXPECT_EQ(botoes(), (Botoes{true, false, false, false}));
    EXPECT_EQ(form->lblConsumidor->text(), QStringLiteral("Bruno Lima"));
}

TEST_F(ScreenTest, FunctionKeysActWithAnyModifierOnlyWhileTheirButtonIsEnabled)
{
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    tecla(Qt::Key_F4);
    tecla(Qt::Key_F4, Qt::ShiftModifier);
    tecla(Qt::Key_F4, Qt::ControlModifier);
    tecla(Qt::Key_F4, Qt::AltModifier);
    ASSERT_EQ(fakes.searches.size(), 4);
    for (const auto& s : fakes.searches)
        EXPECT_EQ(s.dataSet, QStringLiteral("cdsPesqBrinde"));
    // F2 is disabled for a given consumer, F1 is never acted on.
    tecla(Qt::Key_F2);
    tecla(Qt::Key_F1);
    form->blbPesqConsumidor->click();
    EXPECT_EQ(fakes.searches.size(), 4);
}

TEST_F(ScreenTest, F2SearchesTheConsumerListWithTheTerminalsColours)
{
    abre();
    tecla(Qt::Key_F2, Qt::ShiftModifier);
    ASSERT_EQ(fakes.searches.size(), 1);
    const auto& s = fakes.searches.first();
    EXPECT_EQ(s.dataSet, QStringLiteral("cdsConsumidor"));
    EXPECT_EQ(s.visibleFields, (QStringList{QStringLiteral("CDCONSUMIDOR"), QStringLiteral("NMCONSUMIDOR"),
                                            QStringLiteral("CDIDCONSUMID"), QStringLiteral("CDCLIENTE"),
                                            QStringLiteral("NMFANTCLIE")}));
    EXPECT_EQ(s.args, (QVariantList{QVariant(), QStringLiteral("N"), 1, 2, 3, 5, 0}));
    EXPECT_EQ(form->cdsConsumidor->fieldByName(QStringLiteral("NMCONSUMIDOR")).displayLabel(),
              QStringLiteral("Nome do Consumidor"));
    // Giving up keeps the consumer (none) and still loads the balances (of nobody: empty).
    EXPECT_TRUE(form->lblConsumidor->text().isEmpty());
    EXPECT_TRUE(!form->cdsCampanha->active() || form->cdsCampanha->recordCount() == 0);
}

TEST_F(ScreenTest, EscClosesInEveryStateWithoutAQuestion)
{
    abre();
    tecla(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    fecha();
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    fakes.picks = {1};
    tecla(Qt::Key_F4);
    ASSERT_EQ(brindes(), 1);
    tecla(Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(fakes.messages.isEmpty());
}

TEST_F(ScreenTest, AKeyIsActedOnOnceWhereverTheFocusIs)
{
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    form->dbgCampanha->setFocus();
    QTest::keyClick(form->dbgCampanha, Qt::Key_F4);  // travels up through panel and form
    EXPECT_EQ(fakes.searches.size(), 1);
    QTest::keyClick(form->dbgCampanha, Qt::Key_F4);
    EXPECT_EQ(fakes.searches.size(), 2);
}

TEST_F(ScreenTest, PreviousAndNextMoveTheListsAndStopAtTheEnds)
{
    abre(QStringLiteral("C1"), QStringLiteral("Ana Souza"));
    EXPECT_EQ(form->cdsCampanha->recNo(), 1);
    form->blbAnteriorCamp->click();
    EXPECT_EQ(form->cdsCampanha->recNo(), 1);
    form->blbProximoCamp->click();
    EXPECT_EQ(form->cdsCampanha->recNo(), 2);
    form->blbProximoCamp->click();
    EXPECT_EQ(form->cdsCampanha->recNo(), 2);
    EXPECT_EQ(form->dbgCampanha->currentIndex().row(), 1);
    // The gift list is not open yet: the buttons leave the screen usable.
    form->blbProximoBrinde->click();
    form->blbAnteriorBrinde->click();
    EXPECT_TRUE(fakes.errors.isEmpty());
}

TEST_F(ScreenTest, AnErrorInAHandlerReachesTheErrorDisplayAndTheScreenStaysOpen)
{
    abre();
    possvc::Pesquisa = [](platform::ClientDataSet*, const QVariant&, const QString&, int, int, int, int, int) -> bool {
        throw platform::HostError(QStringLiteral("lista indisponível"));
    };
    tecla(Qt::Key_F2);
    EXPECT_EQ(fakes.errors, QStringList{QStringLiteral("lista indisponível")});
    EXPECT_TRUE(form->isVisible());
}

}  // namespace
