#pragma once
// hostkit: the host toolkit library (libhostkit.so) as the module uses it: messages,
// numbering, the connection string and session set-up, text and number helpers, and the
// components the module's forms carry (TBlendedBitBtn, TMessages, TADOSqlStorage).
// Plain functions; the module calls them directly. host/hostkit implements them; what only
// the host program and tests set (the message presenter, the call observer, the
// connection string) is in host/hostkit/HostHooks.h.

#include "HostkitExport.h"
#include "platform/Error.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataPacket.h"
#include "platform/db/Connection.h"
#include "platform/db/Query.h"
#include "platform/db/SqlStorage.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QEnterEvent>
#include <QObject>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <exception>
#include <functional>
#include <memory>

namespace hostkit {

// ---------------------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------------------

// Kind of a message box. The module passes 3 (error) and 0 (the insufficient-balance notice).
enum TTipoMsg : int {
    tmAviso = 0,        // notice / warning
    tmInformacao = 1,   // information
    tmConfirmacao = 2,  // question
    tmErro = 3,         // error
};

// Shows `texto` to the operator and returns after acknowledgement.
//   titulo     window title; empty: "Atenção", "Informação", "Confirmação" or "Erro" by kind.
//              (The module always passes it empty.) An error (tmErro) is always logged.
//   pergunta   "S": a yes/no question (the result is the answer); otherwise a notice
//   registra   "S": the message is also written to stderr (a log line); "N": not
//   tipo       the kind above (icon, title)
//   detalhe    further text shown under the message (empty: none)
//   idEsquema  schema identifier of the terminal (shown in the title when not empty)
//   codigo     message number (shown in the title when not 0)
//   dataset    rows shown under the text (nullptr: none)
// Returns true when acknowledged (or answered yes). Never throws for display problems.
HOSTKIT_EXPORT bool Mensagem(const QString& texto, const QString& titulo, const QString& pergunta,
                             const QString& registra, TTipoMsg tipo, const QString& detalhe,
                             const QString& idEsquema, int codigo, platform::ClientDataSet* dataset);

// Takes a data-service or host-service result apart, by the rule of
// platform/db/ServiceResult.h (an error text against a payload). Data-service functions
// return packets, numbers as text or empty text on success and the text of
// ADOExceptionMessage (never empty, never a number) on failure; host services
// whose results pass through here (AlteraVendaCan's answer, AtualizaVendaSat) follow the
// same rule: success is empty text, a number or a packet.
//
// An error result with mostraErros true is shown through Mensagem (kind tmErro), naming
// the method, the unit and the context, with `codigo` as the schema identifier; with
// mostraErros false it is not shown. Either way an error result returns a null variant
// (which closes a dataset it is loaded into). A payload is returned unchanged.
// `nivel` is the caller's message level (0 for data services, 10 for SAT updates); it is
// shown in the message title when not 0.
HOSTKIT_EXPORT QVariant MensagemMetodo(const QVariant& resultado, bool mostraErros, int nivel,
                                       const QString& metodo, const QString& unidade,
                                       const QString& contexto, const QString& codigo);

// The message table of a form: lines "KEY|text". Msg(key) returns the text after the
// first bar of the first line that begins with exactly key + "|" (keys are compared as
// written, so "DTCLI" never matches "DTCLIENTE|..."); a key not in the table gives "".
class HOSTKIT_EXPORT TMessages : public QObject {
    Q_OBJECT
public:
    explicit TMessages(QObject* owner = nullptr) : QObject(owner) {}

    QStringList& Messages() { return messages_; }
    const QStringList& Messages() const { return messages_; }
    void setMessages(const QStringList& lines) { messages_ = lines; }
    void add(const QString& key, const QString& text) { messages_.append(key + QLatin1Char('|') + text); }

    QString Msg(const QString& key) const;

private:
    QStringList messages_;
};

// The footer text of a screen. `menuFiscal` true: the fiscal menu is offered;
// `teclaF1` "S": its key F1 is named. codTela is shown with only its first letter upper
// case ("VAK04100" -> "Vak04100"):
//   (true, "VAK04100", "S") -> "F1 - Menu Fiscal - Vak04100"
//   (true, "VAK04100", "N") -> "Menu Fiscal - Vak04100"
//   (false, "VAK04100", any) -> "Vak04100"
HOSTKIT_EXPORT QString MontaRodapeGeral(bool menuFiscal, const QString& codTela, const QString& teclaF1);

// ---------------------------------------------------------------------------------------
// Database
// ---------------------------------------------------------------------------------------

// The text a data-service function returns for an error: "Erro de banco de dados: " +
// the error's text, and, when the connection is given and knows more, its driver text.
// `complemento`, when not empty, is appended on a new line. Never empty, never a number.
HOSTKIT_EXPORT QString ADOExceptionMessage(const std::exception& erro, platform::db::Connection* conexao,
                                           const QString& complemento);

// The terminal's connection string. In order: the one set by setStringConexQvn; the one
// stored (encoded with Cripto) in <program directory>/Dados/StringConexao.txt; the demo shop's
// SQLite file "Provider=SQLite;Data Source=<program directory>/Dados/loja.db".
HOSTKIT_EXPORT QString GetStringConexQvn(const QString& chave = {});

// Session set-up after each connect. SQLite: busy timeout 10 s, foreign keys on.
// PostgreSQL: DateStyle ISO, client encoding UTF8, standard_conforming_strings on.
// SQL Server (ODBC): DATEFORMAT ymd. Oracle: NLS date formats. Throws DatabaseError.
HOSTKIT_EXPORT void SetADODBSession(platform::db::Connection* conexao);

// SQL-variant store linked to one query (property ADOQuery) with its Oracle, SQL Server
// and ANSI (SQLite, PostgreSQL) texts; installs the text for the connection's database
// whenever the query is opened. Does not own the query.
class HOSTKIT_EXPORT TADOSqlStorage : public QObject {
    Q_OBJECT
public:
    explicit TADOSqlStorage(QObject* owner = nullptr);
    ~TADOSqlStorage() override;

    platform::db::Query* ADOQuery() const;
    void setADOQuery(platform::db::Query* query);

    QString SQLORACLE() const;
    void setSQLORACLE(const QString& sql);
    QString SQLMSSQL() const;
    void setSQLMSSQL(const QString& sql);
    QString SQLANSI() const;
    void setSQLANSI(const QString& sql);

    // Installs the text now (the query's connection must be open).
    void Aplica();

private:
    platform::db::SqlStorage storage_;
};

// Numbering component: next numbers from counter rows of NOVOCODIGO, advanced atomically
// in the database (safe with several terminals on one server). Keys used:
//   "PRXVENDADIA_" + branch + "_" + yyyyMMdd of the date   (daily sale number, from 1)
//   "PRXNFCE_" + branch + "_" + series + "_" + environment   (NFC-e number, 1..999999999)
// The stored value is the last number handed out, as decimal text. Results are decimal
// text without padding. Uses its own connection (GetStringConexQvn, or the string or
// connection given), so numbers are committed whatever the caller's transaction does; on a
// database server that connection is kept for the thread's next component of the same
// connection string, since a caller creates a component for each draw.
// Throws platform::DatabaseError on a database failure and platform::HostError on a
// counter holding something that is not a number or an NFC-e counter past 999999999.
class HOSTKIT_EXPORT TdtmQvnProxCodigo : public QObject {
    Q_OBJECT
public:
    explicit TdtmQvnProxCodigo(QObject* owner = nullptr);
    ~TdtmQvnProxCodigo() override;

    // Optional: the connection string to open (default GetStringConexQvn()).
    void setConnectionString(const QString& connectionString);
    // Optional: an open connection to use instead of an own one (not owned; must not be
    // inside a transaction).
    void setConnection(platform::db::Connection* connection);

    QString PrxVendaDia(const QString& cdFilial, const QDateTime& data);
    QString PrxNumeroNFCe(const QString& cdFilial, const QString& serie, const QString& ambiente);

    // The counter engine behind both: next value of `key`, which must be <= maximum.
    qint64 next(const QString& key, qint64 maximum);

private:
    platform::db::Connection& connection();
    QString connectionString_;
    platform::db::Connection* external_ = nullptr;
    std::unique_ptr<platform::db::Connection> own_;
    QString ownString_;    // what own_ was opened with
    bool reused_ = false;  // own_ was kept from an earlier component
};

// ---------------------------------------------------------------------------------------
// Text and number helpers
// ---------------------------------------------------------------------------------------

// Reversible encoding of stored secrets (terminal files, stored connection string).
// Cripto: the UTF-8 bytes of the text, each XOR-ed with a key stream and with the
// previous encoded byte, written as two upper-case hex digits per byte. The key stream
// is a 32-bit linear congruential generator seeded with the key (s = s*1103515245+12345,
// byte = s >> 16). Uncripto reverses it; it throws platform::HostError for text that is
// not such an encoding (odd length, non-hex digits, invalid UTF-8 after decoding).
// Empty text encodes to empty text.
HOSTKIT_EXPORT QString Cripto(const QString& texto, int chave);
HOSTKIT_EXPORT QString Uncripto(const QString& texto, int chave);

// `texto` brought to exactly `largura` characters. Digits only (after trimming blanks):
// right-aligned, filled with '0' on the left; longer numbers keep their last `largura`
// digits. Any other text: left-aligned, filled with blanks on the right, cut to
// `largura`. largura <= 0 gives "".
HOSTKIT_EXPORT QString Ajusta(const QString& texto, int largura);

// True for an empty text or one of blanks only.
HOSTKIT_EXPORT bool EmptyString(const QString& texto);

HOSTKIT_EXPORT QVariant iif(bool condicao, const QVariant& seVerdadeiro, const QVariant& seFalso);

// Cut (not rounded) to two decimals, decimal-correct: the number is first rounded to 9
// decimals (removing binary noise such as 0.28999999999999998), then cut towards zero:
// 0.29 -> 0.29, 10.00 - 0.01 -> 9.99, 1.999 -> 1.99, -1.999 -> -1.99.
HOSTKIT_EXPORT double Trunc2(double valor);

// A parameter record of fiscaldev's builders is a QVariantMap (name -> value). Returns the
// value under `nome` (names compared without regard to letter case), or null when the
// record has no such name or is not a record. A QVariantHash and a list of "NAME=value"
// texts are accepted too.
HOSTKIT_EXPORT QVariant RecebeParams(const QVariant& parametros, const QString& nome);

// Makes the barcode (Code 128) of `texto` for the document print and saves it as PNG:
// to `arquivo` when given, else to <program directory>/Temp/CodBarra.png. Returns the path written.
// Throws platform::HostError when the text cannot be encoded (empty or non-ASCII) or the
// file cannot be written.
HOSTKIT_EXPORT QString CriaCodBarra(const QString& texto, const QString& arquivo);
// The Code 128 image itself (black bars on white, `moduleWidth` pixels per module,
// quiet zone of 10 modules). Throws platform::HostError like CriaCodBarra.
HOSTKIT_EXPORT QImage code128Image(const QString& texto, int moduleWidth = 2, int height = 60);

// ---------------------------------------------------------------------------------------
// Picture button
// ---------------------------------------------------------------------------------------

// A flat picture button: a shape without outline filled with a face colour blended
// towards white at the top, an image for the enabled and one for the disabled state, an
// optional caption, a hint shown on hover, and distinct face and text colours for the
// pressed and the disabled state. The image is placed by layout (above the caption by
// default) with `margin` pixels from the edge and `spacing` between image and caption.
class HOSTKIT_EXPORT TBlendedBitBtn : public QPushButton {
    Q_OBJECT
public:
    enum class Shape { Rectangle, RoundRect, Circle };
    enum class GlyphLayout { Top, Left, Right, Bottom };

    explicit TBlendedBitBtn(QWidget* parent = nullptr);

    Shape shape() const { return shape_; }
    void setShape(Shape shape);
    QPixmap glyph() const { return glyph_; }
    void setGlyph(const QPixmap& pixmap);
    QPixmap disabledGlyph() const { return disabledGlyph_; }
    void setDisabledGlyph(const QPixmap& pixmap);
    GlyphLayout glyphLayout() const { return layout_; }
    void setGlyphLayout(GlyphLayout layout);
    int margin() const { return margin_; }
    void setMargin(int pixels);
    int spacing() const { return spacing_; }
    void setSpacing(int pixels);

    QColor faceColor() const { return face_; }
    void setFaceColor(const QColor& c);
    QColor textColor() const { return text_; }
    void setTextColor(const QColor& c);
    QColor pressedFaceColor() const { return pressedFace_; }
    void setPressedFaceColor(const QColor& c);
    QColor pressedTextColor() const { return pressedText_; }
    void setPressedTextColor(const QColor& c);
    QColor disabledFaceColor() const { return disabledFace_; }
    void setDisabledFaceColor(const QColor& c);
    QColor disabledTextColor() const { return disabledText_; }
    void setDisabledTextColor(const QColor& c);

    QString hint() const { return toolTip(); }
    void setHint(const QString& text) { setToolTip(text); }
    bool showHint() const { return showHint_; }
    void setShowHint(bool on);

    // Face and text colours for the current state (enabled, pressed, disabled).
    QColor currentFaceColor() const;
    QColor currentTextColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;  // inside the shape only
    bool event(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPainterPath shapePath() const;
    Shape shape_ = Shape::RoundRect;
    GlyphLayout layout_ = GlyphLayout::Top;
    QPixmap glyph_, disabledGlyph_;
    int margin_ = 3, spacing_ = 0;
    QColor face_, text_, pressedFace_, pressedText_, disabledFace_, disabledText_;
    bool showHint_ = true;
    bool hovered_ = false;
};

}  // namespace hostkit
