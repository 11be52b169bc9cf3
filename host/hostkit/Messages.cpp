// Message display, service-result checking, the message table and the footer text.

#include "HostkitInternal.h"

#include "platform/db/ServiceResult.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QMutex>
#include <QRegularExpression>

#include <cstdio>

namespace hostkit {

namespace {

struct MessageState {
    QMutex mutex;
    MessagePresenter presenter;
    bool scripted = false;
    QList<MessageRequest> recorded;
    CallObserver observer;
};

MessageState& state()
{
    static MessageState s;
    return s;
}

QString defaultTitle(TTipoMsg tipo)
{
    switch (tipo) {
    case tmInformacao: return QStringLiteral("Informação");
    case tmConfirmacao: return QStringLiteral("Confirmação");
    case tmErro: return QStringLiteral("Erro");
    case tmAviso: break;
    }
    return QStringLiteral("Atenção");
}

QString windowTitle(const MessageRequest& r)
{
    QString title = r.titulo.isEmpty() ? defaultTitle(r.tipo) : r.titulo;
    QStringList extra;
    if (!r.idEsquema.isEmpty())
        extra << r.idEsquema;
    if (r.codigo != 0)
        extra << QString::number(r.codigo);
    if (!extra.isEmpty())
        title += QStringLiteral(" [") + extra.join(QLatin1Char('/')) + QLatin1Char(']');
    return title;
}

// What the box shows under its text: the detail.
QString informativeText(const MessageRequest& r)
{
    return r.detalhe;
}

// The rows of a dataset passed to a message, as tab-separated lines.
QString packetText(const platform::DataPacket& p)
{
    if (p.isNull())
        return {};
    QStringList lines;
    QStringList head;
    for (const auto& f : p.fields)
        head << (f.displayLabel.isEmpty() ? f.name : f.displayLabel);
    lines << head.join(QLatin1Char('\t'));
    for (const auto& row : p.rows) {
        QStringList cells;
        for (const auto& v : row)
            cells << v.toString();
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

bool defaultPresenter(const MessageRequest& r)
{
    const bool question = r.pergunta.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box;
        box.setWindowTitle(windowTitle(r));
        box.setText(r.texto);
        const QString informative = informativeText(r);
        if (!informative.isEmpty())
            box.setInformativeText(informative);
        const QString rows = packetText(r.dados);
        if (!rows.isEmpty())
            box.setDetailedText(rows);
        switch (r.tipo) {
        case tmErro: box.setIcon(QMessageBox::Critical); break;
        case tmInformacao: box.setIcon(QMessageBox::Information); break;
        case tmConfirmacao: box.setIcon(QMessageBox::Question); break;
        default: box.setIcon(QMessageBox::Warning); break;
        }
        if (question) {
            QPushButton* yes = box.addButton(QStringLiteral("Sim"), QMessageBox::YesRole);
            box.addButton(QStringLiteral("Não"), QMessageBox::NoRole);
            box.setDefaultButton(yes);
            box.exec();
            return box.clickedButton() == yes;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return true;
    }
    // No GUI: the operator reads it on stderr; a question is answered yes.
    std::fprintf(stderr, "[%s] %s\n", qPrintable(windowTitle(r)), qPrintable(r.texto));
    const QString informative = informativeText(r);
    if (!informative.isEmpty())
        std::fprintf(stderr, "  %s\n", qPrintable(informative));
    return true;
}

}  // namespace

namespace internal {

void notifyCall(const QString& op, const QVariantList& args, const QVariant& result, bool raised, const QString& error)
{
    CallObserver observer;
    {
        QMutexLocker lock(&state().mutex);
        observer = state().observer;
    }
    if (!observer)
        return;
    CallRecord rec;
    rec.lib = QStringLiteral("hostkit");
    rec.op = op;
    rec.args = args;
    rec.result = result;
    rec.hasResult = result.isValid();
    rec.raised = raised;
    rec.error = error;
    observer(rec);
}

bool showMessage(const MessageRequest& request)
{
    // An error is the host's record of a failed operation: it goes to the log whether or
    // not a person or a script acknowledges it (one line, its own lines joined).
    const bool logged = request.tipo == tmErro || request.registra.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0;
    if (logged)
        std::fprintf(stderr, "hostkit: %s\n", qPrintable(request.texto.split(QLatin1Char('\n')).join(QStringLiteral(" | "))));
    MessagePresenter presenter;
    {
        QMutexLocker lock(&state().mutex);
        if (state().scripted) {
            state().recorded.append(request);
            return true;
        }
        presenter = state().presenter;
    }
    try {
        return presenter ? presenter(request) : defaultPresenter(request);
    } catch (const std::exception& e) {
        // A message must never take the caller down: it is written where it can be read.
        std::fprintf(stderr, "hostkit: message could not be shown (%s): %s\n", e.what(), qPrintable(request.texto));
        return true;
    }
}

QVariant datasetArg(platform::ClientDataSet* dataset)
{
    if (!dataset || !dataset->active())
        return {};
    return QVariant::fromValue(dataset->packet());
}

}  // namespace internal

void setMessagePresenter(MessagePresenter presenter)
{
    QMutexLocker lock(&state().mutex);
    state().presenter = std::move(presenter);
}

void setScriptedMessages(bool on)
{
    QMutexLocker lock(&state().mutex);
    state().scripted = on;
}

QList<MessageRequest> recordedMessages()
{
    QMutexLocker lock(&state().mutex);
    return state().recorded;
}

void clearRecordedMessages()
{
    QMutexLocker lock(&state().mutex);
    state().recorded.clear();
}

void setCallObserver(CallObserver observer)
{
    QMutexLocker lock(&state().mutex);
    state().observer = std::move(observer);
}

bool Mensagem(const QString& texto, const QString& titulo, const QString& pergunta, const QString& registra,
              TTipoMsg tipo, const QString& detalhe, const QString& idEsquema, int codigo,
              platform::ClientDataSet* dataset)
{
    MessageRequest r{texto, titulo, pergunta, registra, tipo, detalhe, idEsquema, codigo, {}};
    if (dataset && dataset->active())
        r.dados = dataset->packet();
    const QVariantList args{texto, titulo, pergunta, registra, int(tipo), detalhe, idEsquema, codigo,
                            internal::datasetArg(dataset)};
    return internal::observed<bool>(QStringLiteral("Mensagem"), args, [&] { return internal::showMessage(r); });
}

QVariant MensagemMetodo(const QVariant& resultado, bool mostraErros, int nivel, const QString& metodo,
                        const QString& unidade, const QString& contexto, const QString& codigo)
{
    const QVariantList args{resultado, mostraErros, nivel, metodo, unidade, contexto, codigo};
    return internal::observed<QVariant>(QStringLiteral("MensagemMetodo"), args, [&]() -> QVariant {
        if (!platform::db::isErrorResult(resultado))
            return resultado;
        if (mostraErros) {
            MessageRequest r;
            r.texto = QStringLiteral("Erro no método %1 da unidade %2").arg(metodo, unidade);
            if (!contexto.isEmpty())
                r.texto += QStringLiteral(" (contexto: %1)").arg(contexto);
            r.texto += QStringLiteral(":\n") + platform::db::resultText(resultado).trimmed();
            r.titulo = nivel != 0 ? QStringLiteral("Erro (nível %1)").arg(nivel) : QString();
            r.pergunta = QStringLiteral("N");
            r.registra = QStringLiteral("N");
            r.tipo = tmErro;
            r.idEsquema = codigo;
            internal::showMessage(r);
        }
        return QVariant();
    });
}

QString TMessages::Msg(const QString& key) const
{
    const QString prefix = key + QLatin1Char('|');
    for (const QString& line : messages_)
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    return {};
}

QString MontaRodapeGeral(bool menuFiscal, const QString& codTela, const QString& teclaF1)
{
    const QString code = codTela.trimmed();
    const QString shown = code.isEmpty() ? QString() : code.left(1).toUpper() + code.mid(1).toLower();
    QString text;
    if (menuFiscal) {
        if (teclaF1.trimmed().compare(QLatin1String("S"), Qt::CaseInsensitive) == 0)
            text = QStringLiteral("F1 - ");
        text += QStringLiteral("Menu Fiscal");
        if (!shown.isEmpty())
            text += QStringLiteral(" - ") + shown;
    } else {
        text = shown;
    }
    internal::notifyCall(QStringLiteral("MontaRodapeGeral"), {menuFiscal, codTela, teclaF1}, text);
    return text;
}

}  // namespace hostkit
