#include "host/possvc/screen/WaitIndicator.h"

#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

#include <cmath>

namespace possvc::sim {

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 80;
constexpr int kFrameSide = 48;  // the size an animation frame is shown at

// The module's animation strip in the colour of the panel's text, or null when no loaded
// module carries one (or it is not a strip of square frames).
QPixmap tintedStrip(const QColor& ink)
{
    QImage strip(QString::fromLatin1(WaitIndicator::kAnimationPath));
    if (strip.isNull() || strip.height() == 0 || strip.width() % strip.height() != 0)
        return {};
    strip = strip.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&strip);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(strip.rect(), ink);
    p.end();
    return QPixmap::fromImage(strip);
}
}  // namespace

WaitIndicator::WaitIndicator(QWidget* form, const QString& text, const ColourPair& colours)
    : QWidget(form), form_(form), text_(text),
      panel_(colours.background.value_or(QColor(0x2B, 0x2B, 0x2B))),
      ink_(colours.text.value_or(QColor(Qt::white))), frames_(tintedStrip(ink_))
{
    setObjectName(QStringLiteral("pnlAguarde"));
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    if (form) {
        setGeometry(form->rect());
        form->installEventFilter(this);
    } else {
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        resize(360, 140);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    timer_.start(kStepMs, this);
}

void WaitIndicator::setText(const QString& text)
{
    text_ = text;
    update();
}

QFont WaitIndicator::textFont() const
{
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * 1.2);
    f.setBold(true);
    return f;
}

QRect WaitIndicator::panelRect() const
{
    if (!form_)
        return rect();
    const int w = qMin(width() - 20, qMax(320, QFontMetrics(textFont()).horizontalAdvance(text_) + 120));
    const int h = 110;
    return QRect((width() - w) / 2, (height() - h) / 2, w, h);
}

void WaitIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (form_)
        p.fillRect(rect(), QColor(0, 0, 0, 90));  // the veil over the form
    const QRect panel = panelRect();
    p.setPen(Qt::NoPen);
    p.setBrush(panel_);
    p.drawRoundedRect(panel, 10, 10);

    const QPointF centre(panel.left() + 50, panel.center().y() + 0.5);
    if (showsAnimation())
        paintFrame(p, centre);
    else
        paintSpokes(p, centre);

    p.setFont(textFont());
    p.setPen(ink_);
    p.drawText(panel.adjusted(90, 0, -16, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text_);
}

int WaitIndicator::frameCount() const
{
    return showsAnimation() ? frames_.width() / frames_.height() : kSpokes;
}

void WaitIndicator::paintFrame(QPainter& p, QPointF centre) const
{
    const int side = frames_.height();
    const QRectF target(centre.x() - kFrameSide / 2.0, centre.y() - kFrameSide / 2.0, kFrameSide, kFrameSide);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(target, frames_, QRectF(step_ * side, 0, side, side));
}

// Twelve spokes, the leading one solid, the rest fading behind it.
void WaitIndicator::paintSpokes(QPainter& p, QPointF centre) const
{
    for (int i = 0; i < kSpokes; ++i) {
        QColor c = ink_;
        c.setAlphaF(0.15 + 0.85 * ((kSpokes + i - step_) % kSpokes) / double(kSpokes - 1));
        p.save();
        p.translate(centre);
        p.rotate(360.0 * i / kSpokes);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(-2.5, -22, 5, 11), 2.5, 2.5);
        p.restore();
    }
}

void WaitIndicator::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_.timerId())
        return QWidget::timerEvent(event);
    step_ = (step_ + 1) % frameCount();
    update(panelRect());
}

bool WaitIndicator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == form_ && event->type() == QEvent::Resize)
        setGeometry(form_->rect());
    return QWidget::eventFilter(watched, event);
}

}  // namespace possvc::sim
