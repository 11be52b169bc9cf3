#pragma once
// The customer copy of an electronic sale document, as the non-fiscal printer prints
// it on an 80 mm roll: the NFC-e document (DANFE NFC-e) or the CF-e SAT extract, with
// the issuer, the items, the totals, the consumer, the access key and the QR code.
// Rendered as a PNG image (576 dots wide, a thermal printer's 72 mm at 203 dpi) and as a
// PDF of the same layout.
//
// Needs a QGuiApplication (fonts). Throws platform::HostError when the QR code cannot be
// made or a file cannot be written whole.

#include "PossvcExport.h"
#include "host/possvc/sale/SaleServicesModel.h"
#include "hostapi/ArgumentBlocks.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QVariantList>

#include <vector>

namespace possvc {

// The modules of a QR code (byte mode, error correction level M), row by row.
struct QrMatrix {
    int width = 0;
    std::vector<bool> dark;
    bool at(int x, int y) const { return dark[size_t(y) * size_t(width) + size_t(x)]; }
};
POSSVC_EXPORT QrMatrix qrMatrix(const QString& text);

// Where the QR code landed on the image: its modules' area and the module size.
struct CopyLayout {
    QRect qrArea;
    int moduleSize = 0;
    int modules = 0;
};

class POSSVC_EXPORT CustomerCopy {
public:
    CustomerCopy(SaleDocument document, Issuer issuer);

    static constexpr int kWidth = 576;
    static constexpr int kDpi = 203;

    QImage image(CopyLayout* layout = nullptr) const;
    // The PDF of the copy: one page of the image's `height` (0: measured by drawing).
    QByteArray pdf(int height = 0) const;
    // Both files of the copy, each written beside its name, synced and read back, and only
    // then renamed over it: the copy is whole, or neither file of it is written (nothing
    // is left beside them either).
    void writeFiles(const QString& pngPath, const QString& pdfPath) const;

private:
    int paint(class QPainter& painter, CopyLayout* layout) const;
    SaleDocument doc_;
    Issuer issuer_;
};

// The document described by DisparaImpressaoNaoFiscal's block: its print kind
// ("VENDA_NFCe" or "EXTRATO_SAT"), the sale rows' packet and the print parameters'
// packet. Throws platform::HostError for another kind or a block without rows.
using PrintBlock = hostapi::BlockReader<hostapi::block::DisparaImpressaoNaoFiscal>;
POSSVC_EXPORT SaleDocument documentFromPrint(const PrintBlock& block, int satEnvironment);

}  // namespace possvc
