// The window of the redemption screen: every component at its place, with its colours
// and fonts. Liberation Sans stands in for Arial (same metrics).
#include "client/Cli_Vak04100.h"
#include "client/Glyphs.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace Cli_Vak04100 {

namespace {

const QColor kAcento(0xCC, 0x5B, 0x2C);
const QColor kVerde(0x22, 0xDD, 0x64);
const QColor kDesabilitado(0xCC, 0xCC, 0xCC);
const QColor kCinza(0x80, 0x80, 0x80);  // the system's grey

QFont arial(int pixels, bool bold = true)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QLabel* label(QWidget* owner, const char* name, const QRect& geometry, const QString& text,
              int pixels, const QColor& color, Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop)
{
    auto* l = new QLabel(text, owner);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    l->setFont(arial(pixels));
    l->setAlignment(align);
    l->setAttribute(Qt::WA_TranslucentBackground);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

// The window's own colours, which the light buttons take.
struct CoresJanela {
    QColor janela, textoJanela;
};

// A button's face and caption colours at rest, pressed and disabled.
struct CoresBotao {
    QColor face, texto, facePressionada, textoPressionado, faceDesabilitada, textoDesabilitado;
};

void pinta(TBlendedBitBtn* b, const CoresBotao& c)
{
    b->setFaceColor(c.face);
    b->setTextColor(c.texto);
    b->setPressedFaceColor(c.facePressionada);
    b->setPressedTextColor(c.textoPressionado);
    b->setDisabledFaceColor(c.faceDesabilitada);
    b->setDisabledTextColor(c.textoDesabilitado);
}

TBlendedBitBtn* botao(QWidget* owner, const char* name, const QRect& g, TBlendedBitBtn::Shape shape,
                      glyphs::Kind kind, int glyphSize)
{
    auto* b = new TBlendedBitBtn(owner);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(g);
    b->setShape(shape);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGlyph(glyphs::draw(kind, glyphSize, Qt::white));
    b->setDisabledGlyph(glyphs::draw(kind, glyphSize, kDesabilitado.lighter(115)));
    return b;
}

// The three grey action buttons: white 11 px caption below the picture.
TBlendedBitBtn* botaoCinza(QWidget* owner, const char* name, const QRect& g, glyphs::Kind kind,
                           const QString& caption, const QString& hint, const CoresJanela& cores)
{
    TBlendedBitBtn* b = botao(owner, name, g, TBlendedBitBtn::Shape::RoundRect, kind, 22);
    b->setText(caption);
    b->setFont(arial(11));
    pinta(b, {kCinza, Qt::white, Qt::red, cores.janela, kDesabilitado, Qt::white});
    b->setGlyphLayout(TBlendedBitBtn::GlyphLayout::Top);
    b->setMargin(3);
    b->setSpacing(0);
    b->setHint(hint);
    b->setShowHint(true);
    return b;
}

// Circles and the exit button: window-colour face, no hint.
TBlendedBitBtn* botaoClaro(QWidget* owner, const char* name, const QRect& g, TBlendedBitBtn::Shape shape,
                           glyphs::Kind kind, int glyphSize, const CoresJanela& cores)
{
    TBlendedBitBtn* b = botao(owner, name, g, shape, kind, glyphSize);
    b->setGlyph(glyphs::draw(kind, glyphSize, kAcento));
    pinta(b, {cores.janela, cores.textoJanela, cores.textoJanela, cores.janela, Qt::white, Qt::white});
    b->setShowHint(false);
    return b;
}

// The green confirmation button.
TBlendedBitBtn* botaoConfirma(QWidget* owner, const CoresJanela& cores)
{
    TBlendedBitBtn* b = botao(owner, "blbConfirma", {655, 514, 60, 50}, TBlendedBitBtn::Shape::RoundRect,
                              glyphs::Kind::Confirm, 30);
    pinta(b, {kVerde, Qt::white, cores.textoJanela, cores.janela, kDesabilitado, Qt::white});
    b->setHint(QStringLiteral("Confirmar"));
    b->setShowHint(true);
    return b;
}

}  // namespace

TShape::TShape(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QPen pen(penColor, penWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // The pen is centred on the rectangle's edge: inset by half its width to keep it whole.
    const qreal half = penWidth / 2.0;
    p.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
}

void TfrmFidelidade::criaComponentes()
{
    setObjectName(QStringLiteral("frmFidelidade"));
    setWindowTitle(QStringLiteral("Programa de Fidelidade"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(725, 582);
    QFont padrao(QStringLiteral("Liberation Sans"));  // stands in for the default "MS Sans Serif"
    padrao.setPixelSize(11);
    setFont(padrao);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    Shape1 = new TShape(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(0, 0, 725, 582);

    const QColor preto = Qt::black;
    lblTitulo = label(this, "lblTitulo", {201, 15, 314, 26}, QStringLiteral("Programa de Fidelidade"), 16,
                      preto, Qt::AlignHCenter | Qt::AlignTop);
    lblConsumidorInf = label(this, "lblConsumidorInf", {10, 59, 192, 26},
                             QStringLiteral("Informe o consumidor"), 13, preto);
    lblConsumidor = label(this, "lblConsumidor", {10, 88, 505, 16}, {}, 13, kCinza);
    lblBrinde = label(this, "lblBrinde", {10, 282, 192, 26}, QStringLiteral("Brindes Selecionados"), 13, preto);
    const auto centro = Qt::AlignHCenter | Qt::AlignTop;
    lblPesqConsumidor = label(this, "lblPesqConsumidor", {17, 547, 167, 17},
                              QStringLiteral("F2 - Pesquisar Consumidor"), 11, kAcento, centro);
    lblCancelaBrinde = label(this, "lblCancelaBrinde", {192, 547, 167, 17},
                             QStringLiteral("F3 - Cancelar Brinde"), 11, kAcento, centro);
    lblPesqBrinde = label(this, "lblPesqBrinde", {354, 547, 167, 17},
                          QStringLiteral("F4 - Pesquisar Brinde"), 11, kAcento, centro);
    lblCodTela = label(this, "lblCodTela", {535, 565, 178, 13},
                       QStringLiteral("F1 - Menu Fiscal - Vak04100"), 11, kCinza, Qt::AlignRight | Qt::AlignTop);

    criaGrades();
    criaBotoes();
    Shape1->raise();  // the frame is drawn over the edges of whatever touches them
}

void TfrmFidelidade::criaBotoes()
{
    using Shape = TBlendedBitBtn::Shape;
    using glyphs::Kind;
    const CoresJanela cores{palette().color(QPalette::Base), palette().color(QPalette::WindowText)};

    blbPesqConsumidor = botaoCinza(this, "blbPesqConsumidor", {655, 63, 60, 50}, Kind::Search, QStringLiteral("F2"),
                                   QStringLiteral("Pesquisar Consumidor"), cores);
    blbAnteriorCamp = botaoClaro(this, "blbAnteriorCamp", {662, 116, 49, 46}, Shape::Circle, Kind::Up, 24, cores);
    blbProximoCamp = botaoClaro(this, "blbProximoCamp", {662, 240, 49, 46}, Shape::Circle, Kind::Down, 24, cores);
    blbAnteriorBrinde = botaoClaro(this, "blbAnteriorBrinde", {662, 300, 49, 46}, Shape::Circle, Kind::Up, 24, cores);
    blbPesqBrinde = botaoCinza(this, "blbPesqBrinde", {655, 350, 60, 50}, Kind::Search, QStringLiteral("F4"),
                               QStringLiteral("Pesquisar Brinde"), cores);
    blbCancelaBrinde = botaoCinza(this, "blbCancelaBrinde", {655, 414, 60, 50}, Kind::Cancel, QStringLiteral("F3"),
                                  QStringLiteral("Cancelar Brinde"), cores);
    blbProximoBrinde = botaoClaro(this, "blbProximoBrinde", {661, 464, 49, 46}, Shape::Circle, Kind::Down, 24, cores);
    blbConfirma = botaoConfirma(this, cores);
    lblSair = botaoClaro(this, "lblSair", {684, 5, 37, 30}, Shape::RoundRect, Kind::Exit, 22, cores);

    blbPesqConsumidor->setEnabled(true);
    blbPesqBrinde->setEnabled(false);
    blbCancelaBrinde->setEnabled(false);
    blbConfirma->setEnabled(false);
}

void TfrmFidelidade::criaGrades()
{
    using platform::ui::GridColumn;
    platform::ui::GridStyle estilo;
    estilo.bodyColor = Qt::white;
    estilo.textColor = Qt::black;
    estilo.titleColor = kAcento;
    estilo.titleTextColor = Qt::white;
    estilo.bodyFont = arial(11, false);
    estilo.titleFont = arial(13);

    auto grade = [&](const char* panName, const char* gridName, const QRect& g) {
        auto* pan = new QWidget(this);
        pan->setObjectName(QString::fromLatin1(panName));
        pan->setGeometry(g);
        auto* grid = new platform::ui::DataGrid(pan);
        grid->setObjectName(QString::fromLatin1(gridName));
        grid->setGeometry(0, 0, g.width(), g.height());
        grid->setGridStyle(estilo);
        return std::pair{pan, grid};
    };
    std::tie(panCampanha, dbgCampanha) = grade("panCampanha", "dbgCampanha", {9, 122, 643, 150});
    std::tie(panBrinde, dbgBrinde) = grade("panBrinde", "dbgBrinde", {9, 304, 643, 175});

    const auto esquerda = Qt::AlignLeft | Qt::AlignVCenter;
    const auto direita = Qt::AlignRight | Qt::AlignVCenter;
    dbgCampanha->setColumns({
        GridColumn{QStringLiteral("DSCAMPANHA"), 190, QStringLiteral("Campanha"), esquerda},
        GridColumn{QStringLiteral("VRSALDOCONS"), 120, QStringLiteral("Saldo Atual"), direita},
        GridColumn{QStringLiteral("VRRESTANTE"), 120, QStringLiteral("Restante"), direita},
        GridColumn{QStringLiteral("VRPTOVOUCHER"), 212, QStringLiteral("Voucher (Pontos)"), direita},
    });
    dbgBrinde->setColumns({
        GridColumn{QStringLiteral("NMPRODUTO"), 512, QStringLiteral("Brinde"), esquerda},
        GridColumn{QStringLiteral("VRPONTOBRINDE"), 130, QStringLiteral("Nr. Pontos"), direita},
    });
}

void TfrmFidelidade::showEvent(QShowEvent* event)
{
    // Centred on the screen it opens on.
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

QWidget* TfrmFidelidade::componente(const QString& nome) const
{
    if (nome == objectName())
        return const_cast<TfrmFidelidade*>(this);
    return findChild<QWidget*>(nome);
}

}  // namespace Cli_Vak04100
