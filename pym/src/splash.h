// The frameless window with a busy bar shown while the first page of the server loads.
#pragma once

#include "ui_splash.h"

#include <QWidget>

class QTimer;

class splash : public QWidget
{
    Q_OBJECT

public:
    explicit splash(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void onTimeout();

private:
    Ui::splashClass ui;
    QTimer* timer;
};
