// CriaCodBarra: Code 128 barcodes for the document print (access keys are 44 digits and
// use code set C, two digits per symbol; other printable ASCII text uses code set B).

#include "HostkitInternal.h"

#include "platform/system/ProgramDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

namespace hostkit {

namespace {

// Bar and space widths, bar first, of the symbols 0..105 and the stop (106).
const char* const kPatterns[107] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};
constexpr int kStartB = 104, kStartC = 105, kStop = 106;

}  // namespace

namespace internal {
// The symbol values of `text`, start and check symbol included, stop excluded.
QList<int> code128Symbols(const QString& text)
{
    if (text.isEmpty())
        throw platform::HostError(QStringLiteral("Código de barras: texto vazio"));
    bool digits = text.size() % 2 == 0;
    for (QChar c : text) {
        if (c.unicode() < 32 || c.unicode() > 126)
            throw platform::HostError(QStringLiteral("Código de barras: caractere não suportado em '%1'").arg(text));
        digits = digits && c.isDigit();
    }
    QList<int> symbols;
    if (digits) {
        symbols.append(kStartC);
        for (int i = 0; i < text.size(); i += 2)
            symbols.append((text[i].unicode() - '0') * 10 + (text[i + 1].unicode() - '0'));
    } else {
        symbols.append(kStartB);
        for (QChar c : text)
            symbols.append(c.unicode() - 32);
    }
    int check = symbols[0];
    for (int i = 1; i < symbols.size(); ++i)
        check += i * symbols[i];
    symbols.append(check % 103);
    return symbols;
}
}  // namespace internal

QImage code128Image(const QString& texto, int moduleWidth, int height)
{
    QList<int> symbols = internal::code128Symbols(texto);
    symbols.append(kStop);
    moduleWidth = qMax(1, moduleWidth);
    height = qMax(1, height);
    const int quiet = 10;
    int modules = 2 * quiet;
    for (int s : symbols)
        for (const char* p = kPatterns[s]; *p; ++p)
            modules += *p - '0';
    QImage image(modules * moduleWidth, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    int x = quiet * moduleWidth;
    for (int s : symbols) {
        bool bar = true;
        for (const char* p = kPatterns[s]; *p; ++p, bar = !bar) {
            const int w = (*p - '0') * moduleWidth;
            if (bar)
                painter.fillRect(x, 0, w, height, Qt::black);
            x += w;
        }
    }
    return image;
}

QString CriaCodBarra(const QString& texto, const QString& arquivo)
{
    return internal::observed<QString>(QStringLiteral("CriaCodBarra"), {texto, arquivo}, [&] {
        const QImage image = code128Image(texto);
        const QString path = arquivo.isEmpty() ? platform::programDirectory() + QStringLiteral("/Temp/CodBarra.png") : arquivo;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!image.save(path, "PNG"))
            throw platform::HostError(QStringLiteral("Código de barras: não foi possível gravar %1").arg(path));
        return path;
    });
}

}  // namespace hostkit
