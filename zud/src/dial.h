#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui { class DialClass; }
class QSignalMapper;

// The number pad of a PABX line: collects the digits typed on its buttons or the keyboard and
// hands them on with `ok`; `cancel` gives up. It neither hides itself nor sends anything: its
// owner does.
class Dial : public QDialog
{
    Q_OBJECT
public:
    explicit Dial(QWidget *parent = nullptr);
    ~Dial() override;

signals:
    void ok(const QString &number);
    void cancel();

public slots:
    void onNumber(int code);
    void onClear();
    void onDelete();
    void onOk();
    void onCancel();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refresh();

    std::unique_ptr<Ui::DialClass> ui;
    QSignalMapper *mapper;
    QString number;
};
