// The radio server's text input (window type 4): a field described by a mask ("d" a digit, "a" a
// character, anything else a fixed character) that the operator fills from the keyboard; OK
// sends the text entered, fixed characters included (key 11), cancel key 10.
#pragma once

#include "ktxabstract.h"

#include <memory>

namespace Ui {
class KTXInputClass;
}

class KTXInput : public KTXAbstract {
    Q_OBJECT

public:
    explicit KTXInput(QWidget* parent = nullptr);
    ~KTXInput() override;

    void hold(char* payload) override;
    void init(char* payload) override;
    // to, mask, title, fmt (each at most 19 characters), len, ok, cancel.
    void parseOptions(char* options) override;
    // A Qt key code from the handset link's key press; backspace removes the last typed
    // character with the fixed ones behind it.
    void keyInput(int key);
    void draw();

    bool isLiteralAt(int position) const;
    bool isDigitAt(int position) const;
    bool isAlphaAt(int position) const;

private slots:
    void onCancelBtn();
    void onOkBtn();

private:
    bool accepts(int position, int key) const;

    std::unique_ptr<Ui::KTXInputClass> ui;
    int inputLength = -1;
    QString mask;
    QString format;
    QString entered;
    int cursor = 0;
};
