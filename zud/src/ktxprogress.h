// The radio server's progress window (window type 6): a bar and a percentage that update records
// advance, with "C" (key 10) when the server allows cancelling.
#pragma once

#include "ktxabstract.h"

#include <memory>

namespace Ui {
class KTXProgressClass;
}

class KTXProgress : public KTXAbstract {
    Q_OBJECT

public:
    explicit KTXProgress(QWidget* parent = nullptr);
    ~KTXProgress() override;

    void hold(char* payload) override;
    // Re-reads the options and redraws; the labels and the button keep what init gave them.
    void update(char* payload) override;
    using KTXAbstract::update;
    void init(char* payload) override;
    // to, title (cut at 511 characters), cancel, and progress, which only grows (1 to 100).
    void parseOptions(char* options) override;
    void draw();

private slots:
    void onCancelBtn();

private:
    std::unique_ptr<Ui::KTXProgressClass> ui;
    int progressValue = 0;
};
