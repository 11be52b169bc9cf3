// The entry: one opening from creation to release, on every way out.
#include "ScreenFixture.h"

#include <QTimer>

namespace {

using testsupport::ScreenFixture;

class EntryTest : public ScreenFixture {
protected:
    struct Visto {
        bool shown = false;
        bool formSet = false;
        bool moduleSet = false;
    };
    // Runs the entry; while the screen is shown, `acao` runs and then Esc closes it.
    Visto entra(const QString& consumidor, std::function<void()> acao = {})
    {
        Visto visto;
        QTimer::singleShot(0, [&] {
            if (!frmFidelidade)
                return;
            visto.shown = frmFidelidade->isVisible();
            visto.formSet = true;
            visto.moduleSet = Srv_Vak04100::rdmFidelidade != nullptr;
            form = frmFidelidade;
            if (acao)
                acao();
            tecla(Qt::Key_Escape);
            form = nullptr;
        });
        Cli_Vak04100::CriaFidelidadeQt(consumidor, QStringLiteral("Ana Souza"), {}, {}, QStringLiteral("001"));
        QCoreApplication::processEvents();  // a timer left over by a failed opening fires here
        return visto;
    }
};

TEST_F(EntryTest, ShowsTheScreenAndReleasesFormAndDataModuleWhenItCloses)
{
    const Visto v = entra(QStringLiteral("C1"));
    EXPECT_TRUE(v.shown);
    EXPECT_TRUE(v.moduleSet);
    EXPECT_EQ(frmFidelidade, nullptr);
    EXPECT_EQ(Srv_Vak04100::rdmFidelidade, nullptr);
    EXPECT_TRUE(fakes.messages.isEmpty());
}

TEST_F(EntryTest, AFailedOpeningShowsOneMessageAndLeavesNothingBehind)
{
    term.removeFile(QStringLiteral("PARAMETROSQVN.CDS"));
    const Visto v = entra(QStringLiteral("C1"));
    EXPECT_FALSE(v.shown);
    EXPECT_EQ(frmFidelidade, nullptr);
    EXPECT_EQ(Srv_Vak04100::rdmFidelidade, nullptr);
    ASSERT_EQ(fakes.messages.size(), 1);
    const auto& m = fakes.messages[0];
    EXPECT_TRUE(m.texto.contains(QStringLiteral("PARAMETROSQVN.CDS não foi encontrado")));
    EXPECT_EQ(m.tipo, hostkit::tmErro);
    EXPECT_EQ(m.idEsquema, QStringLiteral("002"));
    EXPECT_EQ(m.pergunta, QStringLiteral("N"));
    // The next call opens the screen afresh.
    term.writeParams();
    fakes.messages.clear();
    EXPECT_TRUE(entra(QStringLiteral("C1")).shown);
    EXPECT_TRUE(fakes.messages.isEmpty());
}

TEST_F(EntryTest, AFailedConnectionIsReleasedToo)
{
    hostkit::setStringConexQvn(QStringLiteral("Provider=SQLite;Data Source=/nao/existe/x.db"));
    EXPECT_FALSE(entra({}).shown);
    EXPECT_EQ(frmFidelidade, nullptr);
    EXPECT_EQ(Srv_Vak04100::rdmFidelidade, nullptr);
    EXPECT_EQ(fakes.messages.size(), 1);
}

TEST_F(EntryTest, TwoCallsEachCreateAndReleaseTheirOwnObjects)
{
    QPointer<QObject> primeiro;
    entra(QStringLiteral("C1"), [&] { primeiro = Srv_Vak04100::rdmFidelidade; });
    EXPECT_TRUE(primeiro.isNull());  // released with the first screen
    QPointer<QObject> segundo;
    const Visto v = entra({}, [&] { segundo = Srv_Vak04100::rdmFidelidade; });
    EXPECT_TRUE(v.shown);
    EXPECT_TRUE(segundo.isNull());
    EXPECT_EQ(Srv_Vak04100::rdmFidelidade, nullptr);
}

TEST_F(EntryTest, ASecondOpeningWhileTheScreenIsShownIsRefused)
{
    entra(QStringLiteral("C1"), [&] {
        auto* modulo = Srv_Vak04100::rdmFidelidade;
        Cli_Vak04100::CriaFidelidadeQt({}, {}, {}, {}, {});
        EXPECT_EQ(Srv_Vak04100::rdmFidelidade, modulo);  // the open screen keeps its data module
        ASSERT_EQ(fakes.messages.size(), 1);
        // Told through the screen's message table, with the screen's fixed arguments.
        EXPECT_EQ(fakes.messages[0].texto, frmFidelidade->msgPadrao->Msg(QStringLiteral("TELA_ABERTA")));
        EXPECT_FALSE(fakes.messages[0].texto.isEmpty());
        EXPECT_EQ(fakes.messages[0].idEsquema, frmFidelidade->stIdEsquema);
    });
    EXPECT_EQ(frmFidelidade, nullptr);
}

TEST_F(EntryTest, TheCEntryTakesUtf16TextsAndNullPointers)
{
    QTimer::singleShot(0, [&] {
        ASSERT_NE(frmFidelidade, nullptr);
        EXPECT_EQ(frmFidelidade->stNmConsumidor, QStringLiteral("João"));
        EXPECT_TRUE(frmFidelidade->stNrCpfConsumidor.isEmpty());
        frmFidelidade->close();
    });
    Cli_Vak04100::CriaFidelidade(u"C1", u"João", nullptr, u"", u"001");
    EXPECT_EQ(frmFidelidade, nullptr);
}

}  // namespace
