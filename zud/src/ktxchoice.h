// The radio server's choice list (window type 3): the items as a ring of five rows with the
// selected one framed on the second row; up and down move the selection (key -1), OK sends its
// number and text (key 11), cancel key 10. Update records add items.
#pragma once

#include "ktxabstract.h"

#include <memory>

namespace Ui {
class KTXChoiceClass;
}

class KTXChoice : public KTXAbstract {
    Q_OBJECT

public:
    explicit KTXChoice(QWidget* parent = nullptr);
    ~KTXChoice() override;

    void hold(char* payload) override;
    // Adds the items and shows the time-out; the matrix keeps what it shows until the next move.
    void update(char* payload) override;
    using KTXAbstract::update;
    void init(char* payload) override;
    void parseOptions(char* options) override;
    // Items separated by ";", appended; the selection goes back to the first.
    void parseContent(char* content) override;
    void draw();
    void showTimeout();

private slots:
    void onUpBtn();
    void onDownBtn();
    void onCancelBtn();
    void onOkBtn();

private:
    std::unique_ptr<Ui::KTXChoiceClass> ui;
    QStringList items;
    int selection = -1;
    int itemCount = 0;
};
