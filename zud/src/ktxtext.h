// The console's own status text window of the handset display ("Connecting to KTX...",
// "Connection failed!"): a title above the LED matrix, no buttons. It ignores update records and
// never emits key.
#pragma once

#include "ktxabstract.h"

#include <memory>

namespace Ui {
class KTXTextClass;
}

class KTXText : public KTXAbstract {
    Q_OBJECT

public:
    explicit KTXText(QWidget* parent = nullptr);
    ~KTXText() override;

    // The payload is the title, ";", then the status text.
    void init(char* payload) override;
    void hold(char* payload) override;

private:
    void draw();

    std::unique_ptr<Ui::KTXTextClass> ui;
    QString titleText;
    QString statusText;
    QStringList lines;
};
