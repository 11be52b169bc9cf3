// TBlendedBitBtn: a flat picture button drawn by hand (shape, blended face, image, caption).

#include "HostkitInternal.h"

#include <QApplication>
#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QStyle>

namespace hostkit {

namespace {

// The colour of the button's state: disabled, held down, or at rest.
QColor forState(const QAbstractButton& button, const QColor& normal, const QColor& pressed, const QColor& disabled)
{
    if (!button.isEnabled())
        return disabled;
    if (button.isDown())
        return pressed;
    return normal;
}

// A colour moved towards white (amount 0..1), for the blended top of the face and hover.
QColor towardsWhite(const QColor& c, double amount)
{
    return QColor::fromRgbF(float(c.redF() + (1 - c.redF()) * amount), float(c.greenF() + (1 - c.greenF()) * amount),
                            float(c.blueF() + (1 - c.blueF()) * amount), c.alphaF());
}

// A grey version of the image for the disabled state when none was given.
QPixmap greyed(const QPixmap& p)
{
    if (p.isNull())
        return p;
    QImage img = p.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int g = qGray(line[x]);
            const int light = 255 - (255 - g) / 2;
            line[x] = qRgba(light, light, light, qAlpha(line[x]));
        }
    }
    return QPixmap::fromImage(img);
}

}  // namespace

TBlendedBitBtn::TBlendedBitBtn(QWidget* parent) : QPushButton(parent)
{
    const QPalette pal = QApplication::palette();
    face_ = pal.color(QPalette::Button);
    text_ = pal.color(QPalette::ButtonText);
    pressedFace_ = pal.color(QPalette::WindowText);
    pressedText_ = pal.color(QPalette::Window);
    disabledFace_ = QColor(0xCC, 0xCC, 0xCC);
    disabledText_ = Qt::white;
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);  // the screen is driven by function keys
}

void TBlendedBitBtn::setShape(Shape shape) { shape_ = shape; update(); }
void TBlendedBitBtn::setGlyph(const QPixmap& pixmap) { glyph_ = pixmap; updateGeometry(); update(); }
void TBlendedBitBtn::setDisabledGlyph(const QPixmap& pixmap) { disabledGlyph_ = pixmap; update(); }
void TBlendedBitBtn::setGlyphLayout(GlyphLayout layout) { layout_ = layout; update(); }
void TBlendedBitBtn::setMargin(int pixels) { margin_ = pixels; update(); }
void TBlendedBitBtn::setSpacing(int pixels) { spacing_ = pixels; update(); }
void TBlendedBitBtn::setFaceColor(const QColor& c) { face_ = c; update(); }
void TBlendedBitBtn::setTextColor(const QColor& c) { text_ = c; update(); }
void TBlendedBitBtn::setPressedFaceColor(const QColor& c) { pressedFace_ = c; update(); }
void TBlendedBitBtn::setPressedTextColor(const QColor& c) { pressedText_ = c; update(); }
void TBlendedBitBtn::setDisabledFaceColor(const QColor& c) { disabledFace_ = c; update(); }
void TBlendedBitBtn::setDisabledTextColor(const QColor& c) { disabledText_ = c; update(); }
void TBlendedBitBtn::setShowHint(bool on) { showHint_ = on; }

QColor TBlendedBitBtn::currentFaceColor() const
{
    return forState(*this, face_, pressedFace_, disabledFace_);
}

QColor TBlendedBitBtn::currentTextColor() const
{
    return forState(*this, text_, pressedText_, disabledText_);
}

QSize TBlendedBitBtn::sizeHint() const
{
    const QFontMetrics fm(font());
    const QSize g = glyph_.isNull() ? QSize() : glyph_.deviceIndependentSize().toSize();
    const QSize t = text().isEmpty() ? QSize() : fm.size(Qt::TextShowMnemonic, text());
    const bool vertical = layout_ == GlyphLayout::Top || layout_ == GlyphLayout::Bottom;
    const int gap = (!g.isEmpty() && !t.isEmpty()) ? spacing_ : 0;
    QSize s = vertical ? QSize(qMax(g.width(), t.width()), g.height() + gap + t.height())
                       : QSize(g.width() + gap + t.width(), qMax(g.height(), t.height()));
    s += QSize(2 * margin_ + 8, 2 * margin_ + 8);
    return s.expandedTo(QSize(24, 24));
}

QPainterPath TBlendedBitBtn::shapePath() const
{
    QPainterPath path;
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    switch (shape_) {
    case Shape::Circle: {
        const qreal d = qMin(r.width(), r.height());
        path.addEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
        break;
    }
    case Shape::RoundRect: {
        const qreal radius = qMin(r.width(), r.height()) * 0.18;
        path.addRoundedRect(r, radius, radius);
        break;
    }
    case Shape::Rectangle:
        path.addRect(r);
        break;
    }
    return path;
}

void TBlendedBitBtn::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = shapePath();
    QColor face = currentFaceColor();
    if (isEnabled() && !isDown() && hovered_)
        face = towardsWhite(face, 0.15);
    // The face is blended: lighter at the top, the colour itself from the middle down.
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, towardsWhite(face, isDown() ? 0.05 : 0.30));
    gradient.setColorAt(0.55, face);
    gradient.setColorAt(1.0, face.darker(isDown() ? 100 : 108));
    p.setPen(Qt::NoPen);
    p.fillPath(path, gradient);

    const QPixmap pix = isEnabled() ? glyph_ : (disabledGlyph_.isNull() ? greyed(glyph_) : disabledGlyph_);
    const QSize g = pix.isNull() ? QSize() : pix.deviceIndependentSize().toSize();
    const QString caption = text();
    const QFontMetrics fm(font());
    const QSize t = caption.isEmpty() ? QSize() : fm.size(Qt::TextShowMnemonic, caption);
    const int gap = (!g.isEmpty() && !t.isEmpty()) ? spacing_ : 0;
    const QRect area = rect().adjusted(margin_, margin_, -margin_, -margin_);
    const int shift = isDown() ? 1 : 0;

    QRect glyphRect, textRect;
    switch (layout_) {
    case GlyphLayout::Top: {
        const int total = g.height() + gap + t.height();
        const int top = area.top() + (area.height() - total) / 2;
        glyphRect = QRect(area.left() + (area.width() - g.width()) / 2, top, g.width(), g.height());
        textRect = QRect(area.left(), top + g.height() + gap, area.width(), t.height());
        break;
    }
    case GlyphLayout::Bottom: {
        const int total = g.height() + gap + t.height();
        const int top = area.top() + (area.height() - total) / 2;
        textRect = QRect(area.left(), top, area.width(), t.height());
        glyphRect = QRect(area.left() + (area.width() - g.width()) / 2, top + t.height() + gap, g.width(), g.height());
        break;
    }
    case GlyphLayout::Left: case GlyphLayout::Right: {
        const int total = g.width() + gap + t.width();
        const int left = area.left() + (area.width() - total) / 2;
        const bool glyphFirst = layout_ == GlyphLayout::Left;
        const int gx = glyphFirst ? left : left + t.width() + gap;
        const int tx = glyphFirst ? left + g.width() + gap : left;
        glyphRect = QRect(gx, area.top() + (area.height() - g.height()) / 2, g.width(), g.height());
        textRect = QRect(tx, area.top(), t.width(), area.height());
        break;
    }
    }
    if (!pix.isNull())
        p.drawPixmap(glyphRect.translated(shift, shift), pix);
    if (!caption.isEmpty()) {
        p.setPen(currentTextColor());
        p.setFont(font());
        p.drawText(textRect.translated(shift, shift), Qt::AlignCenter | Qt::TextShowMnemonic, caption);
    }
}

bool TBlendedBitBtn::hitButton(const QPoint& pos) const
{
    return shapePath().contains(QPointF(pos));
}

bool TBlendedBitBtn::event(QEvent* e)
{
    // The hint is shown only while ShowHint is on.
    if (e->type() == QEvent::ToolTip && !showHint_)
        return true;
    return QPushButton::event(e);
}

void TBlendedBitBtn::enterEvent(QEnterEvent* e)
{
    hovered_ = true;
    update();
    QPushButton::enterEvent(e);
}

void TBlendedBitBtn::leaveEvent(QEvent* e)
{
    hovered_ = false;
    update();
    QPushButton::leaveEvent(e);
}

}  // namespace hostkit
