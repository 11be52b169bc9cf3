#include "client/Glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace Cli_Vak04100::glyphs {

namespace {

void drawSearch(QPainter& p, qreal s)
{
    p.drawEllipse(QRectF(s * 0.12, s * 0.12, s * 0.5, s * 0.5));
    p.drawLine(QPointF(s * 0.56, s * 0.56), QPointF(s * 0.88, s * 0.88));
}

void drawCancel(QPainter& p, qreal s)
{
    p.drawLine(QPointF(s * 0.2, s * 0.2), QPointF(s * 0.8, s * 0.8));
    p.drawLine(QPointF(s * 0.8, s * 0.2), QPointF(s * 0.2, s * 0.8));
}

void drawConfirm(QPainter& p, qreal s)
{
    QPainterPath tick;
    tick.moveTo(s * 0.15, s * 0.52);
    tick.lineTo(s * 0.4, s * 0.78);
    tick.lineTo(s * 0.86, s * 0.24);
    p.drawPath(tick);
}

void drawArrow(QPainter& p, qreal s, bool up)
{
    const qreal tip = up ? s * 0.22 : s * 0.78;
    const qreal base = up ? s * 0.62 : s * 0.38;
    QPainterPath arrow;
    arrow.moveTo(s * 0.2, base);
    arrow.lineTo(s * 0.5, tip);
    arrow.lineTo(s * 0.8, base);
    p.drawPath(arrow);
}

void drawExit(QPainter& p, qreal s)
{
    // A door frame with an arrow leaving it.
    p.drawPolyline(QPolygonF({QPointF(s * 0.55, s * 0.25), QPointF(s * 0.55, s * 0.12),
                              QPointF(s * 0.15, s * 0.12), QPointF(s * 0.15, s * 0.88),
                              QPointF(s * 0.55, s * 0.88), QPointF(s * 0.55, s * 0.75)}));
    p.drawLine(QPointF(s * 0.38, s * 0.5), QPointF(s * 0.9, s * 0.5));
    p.drawPolyline(QPolygonF({QPointF(s * 0.74, s * 0.34), QPointF(s * 0.9, s * 0.5),
                              QPointF(s * 0.74, s * 0.66)}));
}

}  // namespace

QPixmap draw(Kind kind, int size, const QColor& color)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, qMax(2.0, size / 9.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal s = size;
    switch (kind) {
    case Kind::Search: drawSearch(p, s); break;
    case Kind::Cancel: drawCancel(p, s); break;
    case Kind::Confirm: drawConfirm(p, s); break;
    case Kind::Up: drawArrow(p, s, true); break;
    case Kind::Down: drawArrow(p, s, false); break;
    case Kind::Exit: drawExit(p, s); break;
    }
    return pm;
}

}  // namespace Cli_Vak04100::glyphs
