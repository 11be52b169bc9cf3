#include "host/possvc/WaitIndicator.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

#include <cmath>

namespace possvc::sim {

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 80;
}  // namespace

WaitIndicator::WaitIndicator(QWidget* form, const QString& text, const ColourPair& colours)
    : QWidget(form), form_(form), text_(text),
      panel_(colours.background.value_or(QColor(0x2B, 0x2B, 0x2B))),
      ink_(colours.text.value_or(QColor(Qt::white)))
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

    // The spinner: twelve spokes, the leading one solid, the rest fading behind it.
    const QPointF centre(panel.left() + 50, panel.center().y() + 0.5);
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

    p.setFont(textFont());
    p.setPen(ink_);
    p.drawText(panel.adjusted(90, 0, -16, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text_);
}

void WaitIndicator::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_.timerId())
        return QWidget::timerEvent(event);
    step_ = (step_ + 1) % kSpokes;
    update(panelRect());
}

bool WaitIndicator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == form_ && event->type() == QEvent::Resize)
        setGeometry(form_->rect());
    return QWidget::eventFilter(watched, event);
}

}  // namespace possvc::sim
