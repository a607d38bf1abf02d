#pragma once

#include <QDialog>

// The dial pad of a PABX line: the operator types digits, "*" and "#"; confirming hands them on.
class Dial : public QDialog
{
    Q_OBJECT
public:
    explicit Dial(QWidget *parent = nullptr);
    QString digits() const { return typed; }

public slots:
    void addDigit(QChar digit);
    // Hands on the digits typed so far and starts again.
    void confirm();
    void reject() override;

signals:
    void ok(const QString &digits);
    void cancel();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString typed;
};
