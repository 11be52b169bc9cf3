#pragma once
// WaitIndicator: the wait indicator of AtivaProcesso. A translucent veil over the whole
// form with a panel in its centre holding an animation and the text. It follows the
// form's size, takes the mouse clicks meant for the form beneath, and is painted at once
// when shown (the caller then blocks the event loop while the printer works); the
// animation moves on whenever events are processed.
//
// The animation is the one the loaded module carries, the Qt resource kAnimationPath: a
// strip of square frames side by side (31 in the loyalty module), drawn in the panel's
// text colour. Where no module carries one, twelve turning spokes are drawn instead.
//
// A child of the form, destroyed with it. Without a form it is a small window of its own
// in the centre of the screen.

#include "PossvcExport.h"
#include "host/possvc/screen/ScreenColours.h"

#include <QBasicTimer>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QPainter;

namespace possvc::sim {

class POSSVC_EXPORT WaitIndicator : public QWidget {
    Q_OBJECT
public:
    WaitIndicator(QWidget* form, const QString& text, const ColourPair& colours);

    QString text() const { return text_; }
    void setText(const QString& text);
    QWidget* form() const { return form_; }
    int step() const { return step_; }  // the frame shown, 0..frameCount() - 1
    int frameCount() const;             // of the module's animation; 12 spokes without it
    bool showsAnimation() const { return !frames_.isNull(); }

    static constexpr const char* kAnimationPath = ":/Vak04100/SHOWAVI.png";

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect panelRect() const;
    QFont textFont() const;
    void paintSpokes(QPainter& p, QPointF centre) const;
    void paintFrame(QPainter& p, QPointF centre) const;

    QPointer<QWidget> form_;
    QString text_;
    QColor panel_;
    QColor ink_;
    QPixmap frames_;  // the animation strip, tinted with ink_; null: the spokes
    int step_ = 0;
    QBasicTimer timer_;
};

}  // namespace possvc::sim
