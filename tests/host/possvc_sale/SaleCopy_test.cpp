// The customer copy: PDF and PNG files of the NFC-e document and the SAT extract, with
// a QR code that reads back module by module.

#include "SaleTestDb.h"
#include "support/FieldDefs.h"

#include "host/possvc/devices/CustomerCopy.h"
#include "host/possvc/sale/SaleServices.h"
#include "host/possvc/devices/SatCfe.h"
#include "host/possvc/screen/ScreenOps.h"
#include "hostapi/possvc.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace saletest;
using platform::FieldDef;
using platform::FieldType;

namespace {

using Impressao = hostapi::block::DisparaImpressaoNaoFiscal;
constexpr int kImpressaoHighest = hostapi::block::highestIndex<Impressao>;

const QString kNfceKey = QStringLiteral("35261211222333000181650030000000571000000013");

struct PrintJob {
    Redemption sale{{{QStringLiteral("PTS"), QStringLiteral("P1"), 30, QStringLiteral("N"), 10.0},
                     {QStringLiteral("PTS"), QStringLiteral("P2"), 20, QStringLiteral("N"), 4.5}}};
    platform::ClientDataSet params;

    PrintJob(const QString& key, const QString& qr)
    {
        using testsupport::def;
        const FieldType S = FieldType::String;
        params.fieldDefs() = {def("NRSEQVENDA", S, 50),        def("NRNAOFISCAL", S, 20), def("TOTALPAGO", FieldType::Float),
                              def("DATAEMISSNFCE", S, 30),     def("CHAVEACESSONFCe", S, 55), def("SENHACUPOM", S, 6),
                              def("PROTAUTNFCE", S, 30),       def("QRCODENFCe", S, 8000), def("IDAMBTRABNFCE", S, 1)};
        params.createDataSet();
        params.appendRecord({QStringLiteral("7"), QStringLiteral("57"), 0.01, QStringLiteral("2026-12-07T10:00:00-03:00"),
                             key, QStringLiteral("12"), QStringLiteral("135260000000057"), qr, QStringLiteral("2")});
    }

    QVariantList block(const QString& kind) const
    {
        hostapi::ArgumentBlock<Impressao> b(QVariant(), {{Impressao::Reservado0, false},
                                                        {Impressao::TipoImpressao, kind},
                                                        {Impressao::Venda, sale.venda.data()},
                                                        {Impressao::VendaCopia, sale.venda.data()},
                                                        {Impressao::ParamImpCupNF, params.data()},
                                                        {Impressao::Reservado6, QString()}});
        return b.values();
    }
    possvc::PrintBlock checked(const QString& kind) const { return {block(kind), kImpressaoHighest}; }
};

QString nfceQr()
{
    return QStringLiteral("https://www.homologacao.nfce.fazenda.sp.gov.br/qrcode?p=") + kNfceKey
           + QStringLiteral("|2|2|1|ECEFB58678BFDB9D23C5DFC060442F9109957EEE");
}

// Every module of the QR code on the image has the colour the code gives it, and the
// quiet zone around it is white.
void expectQrShown(const QImage& image, const possvc::CopyLayout& layout, const QString& text)
{
    const possvc::QrMatrix m = possvc::qrMatrix(text);
    ASSERT_EQ(layout.modules, m.width);
    ASSERT_GE(layout.moduleSize, 3);
    ASSERT_TRUE(image.rect().contains(layout.qrArea));
    int mismatches = 0;
    for (int y = 0; y < m.width; ++y)
        for (int x = 0; x < m.width; ++x) {
            const QPoint centre = layout.qrArea.topLeft()
                                  + QPoint(x * layout.moduleSize + layout.moduleSize / 2, y * layout.moduleSize + layout.moduleSize / 2);
            const bool dark = qGray(image.pixel(centre)) < 128;
            mismatches += dark != m.at(x, y);
        }
    EXPECT_EQ(mismatches, 0);
    for (int i = 1; i <= 3 * layout.moduleSize; ++i) {
        EXPECT_EQ(qGray(image.pixel(layout.qrArea.left() - i, layout.qrArea.center().y())), 255);
        EXPECT_EQ(qGray(image.pixel(layout.qrArea.right() + i, layout.qrArea.center().y())), 255);
    }
}

class CustomerCopyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // VAK_KEEP_OUTPUT keeps the copies for a look at them.
        dir.setAutoRemove(!qEnvironmentVariableIsSet("VAK_KEEP_OUTPUT"));
        possvc::sim::resetConfig();
        possvc::sim::installSaleServices();
        possvc::sim::setOutputDirectory(dir.filePath(QStringLiteral("copias")));
        // No database: the copy is printed with the configured issuer.
        possvc::sim::setSaleConnectionSource([] { return QStringLiteral("Provider=SQLite;Data Source=/nonexistent/dir/loja.db"); });
    }
    void TearDown() override { possvc::sim::closeSaleConnection(); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(CustomerCopyTest, NfceDocumentAsPdfAndPng)
{
    PrintJob job(kNfceKey, nfceQr());
    QVariant vo = QVariantList(10);
    ASSERT_TRUE(possvc::DisparaImpressaoNaoFiscal(job.block(QStringLiteral("VENDA_NFCe")), kImpressaoHighest, vo));
    const possvc::sim::PrintedCopy copy = possvc::sim::lastCustomerCopy();
    EXPECT_EQ(QFileInfo(copy.pdf).fileName(), QStringLiteral("NFCe") + kNfceKey + QStringLiteral(".pdf"));
    EXPECT_EQ(vo.toList().value(hostapi::answer::ImpressaoNaoFiscal::Pdf).toString(), copy.pdf);
    QFile pdf(copy.pdf);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    EXPECT_GT(pdf.size(), 1000);

    const QImage png(copy.png);
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.width(), possvc::CustomerCopy::kWidth);

    const possvc::SaleDocument doc = possvc::documentFromPrint(job.checked(QStringLiteral("VENDA_NFCe")), 2);
    EXPECT_EQ(doc.items.size(), 2);
    EXPECT_EQ(doc.items[0].sequence, QStringLiteral("001"));
    EXPECT_DOUBLE_EQ(doc.netTotal(), 0.01);
    EXPECT_EQ(doc.series, QStringLiteral("3"));
    EXPECT_EQ(doc.number, QStringLiteral("57"));
    possvc::CopyLayout layout;
    const QImage drawn = possvc::CustomerCopy(doc, possvc::sim::config().issuer).image(&layout);
    EXPECT_EQ(drawn.convertToFormat(QImage::Format_RGB32), png.convertToFormat(QImage::Format_RGB32));  // the file is what was drawn
    expectQrShown(png.convertToFormat(QImage::Format_RGB32), layout, nfceQr());
}

TEST_F(CustomerCopyTest, SatExtractCarriesTheLongQrCode)
{
    possvc::sat::CfeInput in;
    in.issuedAt = QDateTime(QDate(2026, 12, 7), QTime(11, 0));
    in.cashRegister = QStringLiteral("3");
    in.number = 9;
    in.items = {possvc::SaleItem{}};
    in.items[0].unitPrice = 0.01;
    const possvc::sat::Cfe cfe = possvc::sat::buildCfe(in);
    const QString qr = possvc::sat::qrText(possvc::sat::issuedAnswer(1, cfe, possvc::sat::XmlForm::Base64));
    PrintJob job(QStringLiteral("CFe") + cfe.key, qr);

    QVariant vo = QVariantList(10);
    ASSERT_TRUE(possvc::DisparaImpressaoNaoFiscal(job.block(QStringLiteral("EXTRATO_SAT")), kImpressaoHighest, vo));
    const possvc::sim::PrintedCopy copy = possvc::sim::lastCustomerCopy();
    EXPECT_EQ(QFileInfo(copy.png).fileName(), QStringLiteral("CFe") + cfe.key + QStringLiteral(".png"));
    EXPECT_TRUE(QFileInfo(copy.pdf).size() > 1000);

    const possvc::SaleDocument doc = possvc::documentFromPrint(job.checked(QStringLiteral("EXTRATO_SAT")), 2);
    EXPECT_EQ(doc.number, QStringLiteral("000009"));
    EXPECT_EQ(doc.satSerial, QStringLiteral("900001234"));
    EXPECT_EQ(doc.issuedAt, in.issuedAt);
    possvc::CopyLayout layout;
    possvc::CustomerCopy(doc, possvc::sim::config().issuer).image(&layout);
    EXPECT_GT(layout.modules, 60);  // a 400-character text needs a large symbol
    expectQrShown(QImage(copy.png).convertToFormat(QImage::Format_RGB32), layout, qr);
}

TEST_F(CustomerCopyTest, LongSaleIsPrintedWhole)
{
    PrintJob job(kNfceKey, nfceQr());
    possvc::SaleDocument doc = possvc::documentFromPrint(job.checked(QStringLiteral("VENDA_NFCe")), 2);
    const possvc::SaleItem item = doc.items.first();
    for (int i = 0; i < 150; ++i) {
        doc.items.append(item);
        doc.items.last().name = QStringLiteral("Brinde de nome comprido %1 ").arg(i).repeated(12);  // several lines
    }
    possvc::CopyLayout layout;
    const QImage image = possvc::CustomerCopy(doc, possvc::sim::config().issuer).image(&layout);
    EXPECT_GT(image.height(), 2400 + 120 * 152);  // longer than the first guess: drawn again
    expectQrShown(image, layout, nfceQr());        // the QR code at the end is on the roll
}

TEST_F(CustomerCopyTest, RefusalsPrintNothing)
{
    PrintJob job(kNfceKey, nfceQr());
    QVariant vo = QVariantList(10);
    EXPECT_THROW(possvc::DisparaImpressaoNaoFiscal(job.block(QStringLiteral("RELATORIO")), kImpressaoHighest, vo),
                 platform::HostError);
    EXPECT_THROW(possvc::DisparaImpressaoNaoFiscal(job.block(QStringLiteral("VENDA_NFCe")).mid(0, Impressao::Size - 1),
                                                   kImpressaoHighest - 1, vo),
                 platform::HostError);
    possvc::sim::failNext(QStringLiteral("DisparaImpressaoNaoFiscal"));
    EXPECT_FALSE(possvc::DisparaImpressaoNaoFiscal(job.block(QStringLiteral("VENDA_NFCe")), kImpressaoHighest, vo));
    EXPECT_TRUE(QDir(possvc::sim::outputDirectory()).entryList(QDir::Files).isEmpty());
}

namespace {

// A disk that takes only the first bytes of any file: the process's file size limit, under
// which the kernel refuses the rest of a write as a full disk refuses it. Lifted again at
// the end of the scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &before_);
        signal_ = std::signal(SIGXFSZ, SIG_IGN);  // a refused write, not the end of the process
        const rlimit limit{bytes, before_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, signal_);
    }

private:
    rlimit before_{};
    void (*signal_)(int) = nullptr;
};

}  // namespace

// A copy that cannot be written whole is a failure: the call answers false, and neither a
// part of either file nor anything beside them is left; room for one of the two files
// only still leaves nothing. With room again, the same copy prints whole.
TEST_F(CustomerCopyTest, ACopyThatCannotBeWrittenWholeAnswersFalseAndLeavesNothing)
{
    PrintJob job(kNfceKey, nfceQr());
    const QString copies = possvc::sim::outputDirectory();
    const auto left = [&] {
        return QDir(copies).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    const auto print = [&] {
        QVariant vo = QVariantList(10);
        return possvc::DisparaImpressaoNaoFiscal(job.block(QStringLiteral("VENDA_NFCe")), kImpressaoHighest, vo);
    };
    ASSERT_TRUE(print());
    const possvc::sim::PrintedCopy whole = possvc::sim::lastCustomerCopy();
    const qint64 png = QFileInfo(whole.png).size(), pdf = QFileInfo(whole.pdf).size();
    ASSERT_NE(png, pdf);
    for (const QString& f : left())
        QFile::remove(QDir(copies).filePath(f));

    for (const rlim_t room : {rlim_t(0), rlim_t(2000), rlim_t((png + pdf) / 2)}) {
        bool answer = true;
        possvc::sim::PrintedCopy copy;
        {
            const FileSizeLimit full(room);
            answer = print();
            copy = possvc::sim::lastCustomerCopy();  // the copy's outcome, once it is known
        }
        EXPECT_FALSE(answer) << room;
        EXPECT_FALSE(copy.error.isEmpty()) << room;
        EXPECT_EQ(left().join(QLatin1Char(' ')).toStdString(), "") << room;
    }

    ASSERT_TRUE(print());
    const possvc::sim::PrintedCopy copy = possvc::sim::lastCustomerCopy();
    EXPECT_TRUE(copy.error.isEmpty()) << copy.error.toStdString();
    EXPECT_EQ(left().size(), 2);
    EXPECT_FALSE(QImage(copy.png).isNull());
    QFile file(copy.pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
}
