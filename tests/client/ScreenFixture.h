#pragma once
// A screen opened on the test terminal with recording host fakes.

#include "HostFakes.h"
#include "TerminalFixture.h"

#include "client/Cli_Vak04100.h"
#include "server/Srv_Vak04100.h"
#include "platform/system/ProgramDirectory.h"

#include <QTest>

#include <gtest/gtest.h>

namespace testsupport {

// The enabled state of the action buttons.
struct Botoes {
    bool f2, f4, f3, f5;
    bool operator==(const Botoes&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Botoes& b)
{
    return os << "{F2 " << b.f2 << ", F4 " << b.f4 << ", F3 " << b.f3 << ", F5 " << b.f5 << "}";
}

class ScreenFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setProgramDirectory(term.dir());
        hostkit::setStringConexQvn(term.connectionString());
        term.writeAll();
    }
    void TearDown() override
    {
        fecha();
        hostkit::setCallObserver({});
        platform::setProgramDirectory({});
        hostkit::setStringConexQvn({});
    }

    // Creates the form as the entry does and initialises it; shows it without a modal loop.
    Cli_Vak04100::TfrmFidelidade* abre(const QString& consumidor = {}, const QString& nome = {},
                                       const QString& cliente = QStringLiteral("001"))
    {
        form = new Cli_Vak04100::TfrmFidelidade(nullptr);
        form->stArgCdConsumidor = consumidor;
        form->stArgNmConsumidor = nome;
        form->stArgCdCliente = cliente;
        form->InicializaForm();
        form->show();
        return form;
    }
    void fecha()
    {
        delete form;
        form = nullptr;
        delete Srv_Vak04100::rdmFidelidade;
        Srv_Vak04100::rdmFidelidade = nullptr;
    }
    // A key pressed while the screen has the focus (the key reaches the focused control).
    void tecla(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* focus = QApplication::focusWidget();
        QWidget* target = focus && (focus == form || form->isAncestorOf(focus)) ? focus : form;
        QTest::keyClick(target, key, mods);
    }
    // A value of the campaign row of `cdCampanha` (does not move the dataset).
    double saldo(const QString& cdCampanha, const char* campo) const
    {
        auto* ds = form->cdsCampanha;
        const int idxCampanha = ds->fieldByName(QStringLiteral("CDCAMPANHA")).index();
        const int idx = ds->fieldByName(QString::fromLatin1(campo)).index();
        for (int r = 0; r < ds->recordCount(); ++r)
            if (ds->valueAt(r, idxCampanha).toString() == cdCampanha)
                return ds->valueAt(r, idx).toDouble();
        ADD_FAILURE() << "campaign not listed: " << cdCampanha.toStdString();
        return 0;
    }
    Botoes botoes() const
    {
        return {form->blbPesqConsumidor->isEnabled(), form->blbPesqBrinde->isEnabled(),
                form->blbCancelaBrinde->isEnabled(), form->blbConfirma->isEnabled()};
    }
    int brindes() const { return form->cdsBrinde->active() ? form->cdsBrinde->recordCount() : -1; }

    HostFakes fakes;
    TerminalFixture term;
    Cli_Vak04100::TfrmFidelidade* form = nullptr;
};

}  // namespace testsupport
