#pragma once
// WaitIndicator: the wait indicator of AtivaProcesso. A translucent veil over the whole
// form with a panel in its centre holding a turning spinner and the text. It follows the
// form's size, takes the mouse clicks meant for the form beneath, and is painted at once
// when shown (the caller then blocks the event loop while the printer works); the spinner
// turns whenever events are processed.
//
// A child of the form, destroyed with it. Without a form it is a small window of its own
// in the centre of the screen.

#include "host/possvc/ScreenColours.h"

#include <QBasicTimer>
#include <QPointer>
#include <QWidget>

namespace possvc::sim {

class WaitIndicator : public QWidget {
    Q_OBJECT
public:
    WaitIndicator(QWidget* form, const QString& text, const ColourPair& colours);

    QString text() const { return text_; }
    void setText(const QString& text);
    QWidget* form() const { return form_; }
    int step() const { return step_; }  // the spinner's position, 0..11

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect panelRect() const;
    QFont textFont() const;

    QPointer<QWidget> form_;
    QString text_;
    QColor panel_;
    QColor ink_;
    int step_ = 0;
    QBasicTimer timer_;
};

}  // namespace possvc::sim
