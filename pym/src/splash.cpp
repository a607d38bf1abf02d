#include "splash.h"

#include <QTimer>

splash::splash(QWidget* parent)
    : QWidget(parent)
    , timer(new QTimer(this))
{
    ui.setupUi(this);
    setWindowFlags(Qt::SplashScreen);
    connect(timer, &QTimer::timeout, this, &splash::onTimeout);
    timer->setInterval(100);
}

void splash::showEvent(QShowEvent* event)
{
    timer->start();
    QWidget::showEvent(event);
}

void splash::hideEvent(QHideEvent* event)
{
    timer->stop();
    QWidget::hideEvent(event);
}

// The busy bar only moves when it is repainted.
void splash::onTimeout()
{
    ui.progress->update();
}
