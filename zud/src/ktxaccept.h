// The radio server's accept prompt (window type 5): a text of up to five centred lines, with OK
// (key 11) and cancel (key 10) present only when the options ask. Update records change nothing.
#pragma once

#include "ktxabstract.h"

#include <memory>

namespace Ui {
class KTXAcceptClass;
}

class KTXAccept : public KTXAbstract {
    Q_OBJECT

public:
    explicit KTXAccept(QWidget* parent = nullptr);
    ~KTXAccept() override;

    void hold(char* payload) override;
    void update(char* payload) override;
    using KTXAbstract::update;
    void init(char* payload) override;
    void parseOptions(char* options) override;
    void parseContent(char* content) override;

private slots:
    void onCancelBtn();
    void onOkBtn();

private:
    std::unique_ptr<Ui::KTXAcceptClass> ui;
    QString acceptText;
    QStringList lines;
};
