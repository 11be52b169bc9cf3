#include "host/possvc/devices/CustomerCopy.h"

#include "host/possvc/devices/NFCeKey.h"
#include "host/possvc/sale/SaleServicesDb.h"
#include "host/possvc/devices/SatCfe.h"
#include "hostapi/hostkit.h"

#include "platform/Error.h"
#include "platform/dataset/RegularFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <qrencode.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <unistd.h>

namespace possvc {

QrMatrix qrMatrix(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeData(int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.constData()), 0, QR_ECLEVEL_M),
        QRcode_free);
    if (!code)
        throw platform::HostError(QStringLiteral("Não foi possível gerar o QR code (%1 caracteres)").arg(text.size()));
    QrMatrix m;
    m.width = code->width;
    m.dark.resize(size_t(m.width) * size_t(m.width));
    for (size_t i = 0; i < m.dark.size(); ++i)
        m.dark[i] = code->data[i] & 1;
    return m;
}

namespace {

constexpr int kMargin = 8;

QString cpfCnpj(const QString& digits)
{
    if (digits.size() == 11)
        return QStringLiteral("%1.%2.%3-%4").arg(digits.mid(0, 3), digits.mid(3, 3), digits.mid(6, 3), digits.mid(9, 2));
    if (digits.size() == 14)
        return QStringLiteral("%1.%2.%3/%4-%5")
            .arg(digits.mid(0, 2), digits.mid(2, 3), digits.mid(5, 3), digits.mid(8, 4), digits.mid(12, 2));
    return digits;
}

// Lays blocks one under the other across the roll's width.
class Roll {
public:
    explicit Roll(QPainter& p) : p_(p) {}

    int y() const { return y_; }
    void space(int dots) { y_ += dots; }

    void text(const QString& t, int pixels, int flags = Qt::AlignHCenter, bool bold = false, bool mono = false)
    {
        QFont f(mono ? QStringLiteral("Liberation Mono") : QStringLiteral("Liberation Sans"));
        f.setPixelSize(pixels);
        f.setBold(bold);
        p_.setFont(f);
        const QRect area(kMargin, y_, CustomerCopy::kWidth - 2 * kMargin, 10000);
        const int wrap = mono ? Qt::TextWrapAnywhere : Qt::TextWordWrap;
        const QRect used = QFontMetrics(f, p_.device()).boundingRect(area, flags | wrap, t);
        p_.drawText(QRect(area.x(), y_, area.width(), used.height()), flags | wrap, t);
        y_ += used.height() + 2;
    }

    void pair(const QString& left, const QString& right, int pixels, bool bold = false)
    {
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(pixels);
        f.setBold(bold);
        p_.setFont(f);
        const int h = QFontMetrics(f, p_.device()).height();
        const QRect area(kMargin, y_, CustomerCopy::kWidth - 2 * kMargin, h);
        p_.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, left);
        p_.drawText(area, Qt::AlignRight | Qt::AlignVCenter, right);
        y_ += h + 2;
    }

    void rule()
    {
        y_ += 4;
        p_.setPen(QPen(Qt::black, 2, Qt::DashLine));
        p_.drawLine(kMargin, y_, CustomerCopy::kWidth - kMargin, y_);
        p_.setPen(Qt::black);
        y_ += 6;
    }

    void qr(const QrMatrix& m, CopyLayout* layout)
    {
        const int module = std::max(3, std::min(8, 360 / m.width));
        const int side = module * m.width;
        const int x = (CustomerCopy::kWidth - side) / 2;
        y_ += module * 4;  // quiet zone
        for (int row = 0; row < m.width; ++row)
            for (int col = 0; col < m.width; ++col)
                if (m.at(col, row))
                    p_.fillRect(x + col * module, y_ + row * module, module, module, Qt::black);
        if (layout)
            *layout = {QRect(x, y_, side, side), module, m.width};
        y_ += side + module * 4;
    }

    void picture(const QImage& image)
    {
        const QImage fitted = image.width() > CustomerCopy::kWidth - 2 * kMargin
                                  ? image.scaledToWidth(CustomerCopy::kWidth - 2 * kMargin)
                                  : image;
        p_.drawImage((CustomerCopy::kWidth - fitted.width()) / 2, y_, fitted);
        y_ += fitted.height() + 4;
    }

private:
    QPainter& p_;
    int y_ = kMargin;
};

void issuerBlock(Roll& r, const Issuer& is)
{
    r.text(is.name, 26, Qt::AlignHCenter, true);
    r.text(QStringLiteral("CNPJ: %1  IE: %2").arg(cpfCnpj(onlyDigits(is.cnpj)), is.stateRegistration), 20);
    r.text(QStringLiteral("%1, %2 - %3 - %4/%5").arg(is.street, is.number, is.district, is.city, is.uf), 20);
    r.rule();
}

void itemsBlock(Roll& r, const SaleDocument& doc)
{
    r.text(QStringLiteral("#   CÓDIGO DESCRIÇÃO\n") + QStringLiteral("    QTD UN x VL UNIT R$").leftJustified(36)
               + QStringLiteral("VL ITEM R$").rightJustified(12),
           18, Qt::AlignLeft, false, true);
    r.rule();
    for (int i = 0; i < doc.items.size(); ++i) {
        const SaleItem& it = doc.items[i];
        const QString code = it.barcode.isEmpty() ? it.product : it.barcode;
        r.text(QStringLiteral("%1 %2 %3").arg(QString::number(i + 1).rightJustified(3, QLatin1Char('0')), code, it.name),
               18, Qt::AlignLeft, false, true);
        const QString qty = QStringLiteral("    %1 %2 x %3").arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(it.quantity, 'f', 3),
                                                            it.unit, displayMoney(it.unitPrice));
        r.text(qty.leftJustified(36) + displayMoney(it.gross()).rightJustified(12), 18, Qt::AlignLeft, false, true);
        if (it.discount > 0)
            r.text(QStringLiteral("    desconto sobre item").leftJustified(36) + (QLatin1Char('-') + displayMoney(it.discount)).rightJustified(12),
                   18, Qt::AlignLeft, false, true);
    }
    r.rule();
}

void totalsBlock(Roll& r, const SaleDocument& doc, bool nfce)
{
    if (nfce)
        r.pair(QStringLiteral("Qtde. total de itens"), QString::number(doc.items.size()), 20);
    r.pair(QStringLiteral("Valor total R$"), displayMoney(doc.grossTotal()), 20);
    if (doc.discountTotal() > 0)
        r.pair(QStringLiteral("Desconto R$"), displayMoney(doc.discountTotal()), 20);
    r.pair(nfce ? QStringLiteral("Valor a Pagar R$") : QStringLiteral("TOTAL R$"), displayMoney(doc.netTotal()), 24, true);
    r.pair(QStringLiteral("FORMA PAGAMENTO"), QStringLiteral("VALOR PAGO R$"), 18, true);
    r.pair(QStringLiteral("Dinheiro"), displayMoney(doc.paid), 20);
    r.pair(QStringLiteral("Troco R$"), displayMoney(std::max(0.0, doc.paid - doc.netTotal())), 20);
    r.rule();
}

void consumerBlock(Roll& r, const SaleDocument& doc, bool nfce)
{
    const QString digits = onlyDigits(doc.consumerCpf);
    if (digits.size() != 11 && digits.size() != 14)
        r.text(QStringLiteral("CONSUMIDOR NÃO IDENTIFICADO"), 20, Qt::AlignHCenter, true);
    else
        r.text(QStringLiteral("CONSUMIDOR - %1 %2 %3")
                   .arg(digits.size() == 11 ? QStringLiteral("CPF") : QStringLiteral("CNPJ"), cpfCnpj(digits),
                        nfce ? doc.consumerName : QString()),
               20, Qt::AlignHCenter, true);
}

}  // namespace

CustomerCopy::CustomerCopy(SaleDocument document, Issuer issuer) : doc_(std::move(document)), issuer_(std::move(issuer))
{
}

int CustomerCopy::paint(QPainter& painter, CopyLayout* layout) const
{
    painter.setPen(Qt::black);
    Roll r(painter);
    const bool nfce = doc_.kind == DocumentKind::Nfce;
    issuerBlock(r, issuer_);
    if (nfce) {
        r.text(QStringLiteral("DANFE NFC-e - Documento Auxiliar da Nota Fiscal de Consumidor Eletrônica"), 20,
               Qt::AlignHCenter, true);
    } else {
        r.text(QStringLiteral("Extrato No. %1").arg(doc_.number), 24, Qt::AlignHCenter, true);
        r.text(QStringLiteral("CUPOM FISCAL ELETRÔNICO - SAT"), 22, Qt::AlignHCenter, true);
        if (doc_.environment != 1)
            r.text(QStringLiteral("= T E S T E ="), 22, Qt::AlignHCenter, true);
        r.rule();
        consumerBlock(r, doc_, nfce);
    }
    r.rule();
    itemsBlock(r, doc_);
    totalsBlock(r, doc_, nfce);
    if (nfce) {
        r.text(QStringLiteral("Consulte pela Chave de Acesso em"), 18);
        r.text(doc_.qrText.section(QLatin1Char('?'), 0, 0), 16);
        r.text(nfce::groupedKey(doc_.key), 17, Qt::AlignHCenter, true, true);
        r.rule();
        consumerBlock(r, doc_, nfce);
        r.text(QStringLiteral("NFC-e nº %1  Série %2  %3").arg(doc_.number, doc_.series,
                                                             doc_.issuedAt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))),
               20, Qt::AlignHCenter, true);
        r.text(QStringLiteral("Protocolo de autorização: %1").arg(doc_.protocol), 18);
        if (doc_.environment != 1)
            r.text(QStringLiteral("EMITIDA EM AMBIENTE DE HOMOLOGAÇÃO - SEM VALOR FISCAL"), 20, Qt::AlignHCenter, true);
        r.text(QStringLiteral("Consulta via leitor de QR Code"), 18);
    } else {
        r.text(QStringLiteral("SAT No. %1").arg(doc_.satSerial), 20, Qt::AlignHCenter, true);
        r.text(doc_.issuedAt.toString(QStringLiteral("dd/MM/yyyy - HH:mm:ss")), 20);
        r.text(nfce::groupedKey(doc_.key), 17, Qt::AlignHCenter, true, true);
        if (!doc_.key.isEmpty())
            r.picture(hostkit::code128Image(doc_.key, 1, 60));
    }
    if (!doc_.qrText.isEmpty())
        r.qr(qrMatrix(doc_.qrText), layout);
    if (!doc_.password.isEmpty())
        r.text(QStringLiteral("Senha: %1").arg(doc_.password), 22, Qt::AlignHCenter, true);
    r.text(QStringLiteral("Resgate do Programa de Fidelidade - venda %1").arg(doc_.sequence), 16);
    return r.y() + kMargin;
}

QImage CustomerCopy::image(CopyLayout* layout) const
{
    // Drawn on a roll long enough for the items; drawn again on a longer one when the
    // guess was short (long names wrap onto more lines).
    int length = 2400 + 120 * int(doc_.items.size());
    for (;;) {
        QImage roll(kWidth, length, QImage::Format_RGB32);
        roll.fill(Qt::white);
        roll.setDotsPerMeterX(int(kDpi / 0.0254));
        roll.setDotsPerMeterY(int(kDpi / 0.0254));
        int height = 0;
        {
            QPainter p(&roll);
            height = paint(p, layout);
        }
        if (height <= length)
            return roll.copy(0, 0, kWidth, height);
        length = height;
    }
}

namespace {

[[noreturn]] void notWritten(const QString& path, const QString& why)
{
    throw platform::HostError(QStringLiteral("Não foi possível gravar a cópia do cliente em %1: %2").arg(path, why));
}

// A file written beside its name and not yet renamed over it; removed unless renamed.
class BesideFile {
public:
    BesideFile(const QString& path, const QByteArray& bytes)
        : path_(path), temp_(QFileInfo(path).absolutePath() + QStringLiteral("/.") + QFileInfo(path).fileName()
                             + QStringLiteral(".XXXXXX"))
    {
        if (!temp_.open())
            notWritten(path_, temp_.errorString());
        // A document for others to read, as any printed copy (the temporary file is private).
        temp_.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                             | QFileDevice::ReadOther);
        // A full disk may take part of the bytes, or all of them into the cache and refuse
        // them when they are synced: each step is checked, and the bytes are read back.
        if (temp_.write(bytes) != bytes.size() || !temp_.flush())
            notWritten(path_, temp_.errorString());
        if (::fsync(temp_.handle()) != 0)
            notWritten(path_, QString::fromLocal8Bit(std::strerror(errno)));
        const platform::RegularFile back = platform::readRegularFile(temp_.fileName(), bytes.size());
        if (!back.read() || back.bytes != bytes)
            notWritten(path_, QStringLiteral("o arquivo não foi gravado inteiro"));
        temp_.close();
    }
    void rename()
    {
        if (std::rename(QFile::encodeName(temp_.fileName()).constData(), QFile::encodeName(path_).constData()) != 0)
            notWritten(path_, QString::fromLocal8Bit(std::strerror(errno)));
        temp_.setAutoRemove(false);
    }

private:
    QString path_;
    QTemporaryFile temp_;
};

}  // namespace

QByteArray CustomerCopy::pdf(int height) const
{
    if (height <= 0)
        height = image().height();
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&out);
    pdf.setResolution(kDpi);
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setPageSize(QPageSize(QSizeF(kWidth * 25.4 / kDpi, height * 25.4 / kDpi), QPageSize::Millimeter,
                              QStringLiteral("Bobina 80 mm")));
    pdf.setTitle(doc_.kind == DocumentKind::Nfce ? QStringLiteral("DANFE NFC-e") : QStringLiteral("Extrato CF-e SAT"));
    pdf.setCreator(QStringLiteral("possvc"));
    QPainter p;
    if (!p.begin(&pdf))
        throw platform::HostError(QStringLiteral("Não foi possível desenhar o PDF da cópia do cliente"));
    paint(p, nullptr);
    p.end();
    return out.data();
}

void CustomerCopy::writeFiles(const QString& pngPath, const QString& pdfPath) const
{
    const QImage drawn = image();
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    if (!drawn.save(&png, "PNG"))
        notWritten(pngPath, QStringLiteral("a imagem não pôde ser codificada"));
    QDir().mkpath(QFileInfo(pngPath).absolutePath());
    QDir().mkpath(QFileInfo(pdfPath).absolutePath());
    // Both written beside before either is renamed: a copy is never left half printed.
    BesideFile pdfFile(pdfPath, pdf(drawn.height()));
    BesideFile pngFile(pngPath, png.data());
    pdfFile.rename();
    pngFile.rename();
}

SaleDocument documentFromPrint(const PrintBlock& block, int satEnvironment)
{
    using In = hostapi::block::DisparaImpressaoNaoFiscal;
    const QString kind = block.text(In::TipoImpressao);
    SaleDocument doc;
    if (kind.compare(QLatin1String("VENDA_NFCe"), Qt::CaseInsensitive) == 0)
        doc.kind = DocumentKind::Nfce;
    else if (kind.compare(QLatin1String("EXTRATO_SAT"), Qt::CaseInsensitive) == 0)
        doc.kind = DocumentKind::Sat;
    else
        throw platform::HostError(QStringLiteral("DisparaImpressaoNaoFiscal: tipo de impressão desconhecido '%1'").arg(kind));
    const db::PacketRows rows = db::PacketRows::of(block[In::Venda]);
    const db::PacketRows params = db::PacketRows::of(block[In::ParamImpCupNF]);
    if (rows.count() == 0)
        throw platform::HostError(QStringLiteral("DisparaImpressaoNaoFiscal: a venda não tem itens"));

    doc.branch = rows.text(0, QStringLiteral("CDFILIAL"));
    doc.operatorName = rows.text(0, QStringLiteral("NMOPERADOR"));
    doc.consumerName = rows.text(0, QStringLiteral("NMCONSVEND"));
    doc.consumerCpf = rows.text(0, QStringLiteral("NRINSCRCONS"));
    doc.consumerAddress = rows.text(0, QStringLiteral("DSENDEVENDA"));
    for (int r = 0; r < rows.count(); ++r) {
        SaleItem it;
        it.sequence = rows.text(r, QStringLiteral("NRSEQ"));
        it.product = rows.text(r, QStringLiteral("CDPRODUTO"));
        it.barcode = rows.text(r, QStringLiteral("CDPRODIMPFIS"));
        it.name = rows.text(r, QStringLiteral("NMPRODUTO"));
        const QString unit = rows.text(r, QStringLiteral("SGUNIDADE"));
        if (!unit.isEmpty())
            it.unit = unit;
        it.quantity = rows.number(r, QStringLiteral("QTPRODCOMVEN"));
        it.unitPrice = rows.number(r, QStringLiteral("VRPRECCOMVEN"));
        it.discount = rows.number(r, QStringLiteral("VRDESCCOMVEN"));
        it.taxRate = rows.number(r, QStringLiteral("VRALIQIMPR"));
        it.taxType = rows.text(r, QStringLiteral("IDTPIMPOSFIS"));
        doc.items.append(it);
    }
    std::sort(doc.items.begin(), doc.items.end(),
              [](const SaleItem& a, const SaleItem& b) { return a.sequence < b.sequence; });

    doc.sequence = params.text(0, QStringLiteral("NRSEQVENDA"));
    doc.password = params.text(0, QStringLiteral("SENHACUPOM"));
    doc.paid = params.has(QStringLiteral("TOTALPAGO")) ? params.number(0, QStringLiteral("TOTALPAGO")) : doc.netTotal();
    doc.qrText = params.text(0, QStringLiteral("QRCODENFCe"));
    doc.key = sat::bareKey(params.text(0, QStringLiteral("CHAVEACESSONFCe")));
    if (doc.kind == DocumentKind::Nfce) {
        doc.number = params.text(0, QStringLiteral("NRNAOFISCAL"));
        doc.series = doc.key.size() == 44 ? QString::number(doc.key.mid(22, 3).toInt()) : QString();
        doc.protocol = params.text(0, QStringLiteral("PROTAUTNFCE"));
        doc.environment = nfce::environmentCode(params.text(0, QStringLiteral("IDAMBTRABNFCE")));
        doc.issuedAt = QDateTime::fromString(params.text(0, QStringLiteral("DATAEMISSNFCE")), Qt::ISODate);
    } else {
        doc.number = doc.key.size() == 44 ? doc.key.mid(31, 6) : QString();
        doc.satSerial = doc.key.size() == 44 ? doc.key.mid(22, 9) : QString();
        doc.environment = satEnvironment;
        doc.issuedAt = QDateTime::fromString(doc.qrText.section(QLatin1Char('|'), 1, 1), QStringLiteral("yyyyMMddHHmmss"));
    }
    return doc;
}

}  // namespace possvc
