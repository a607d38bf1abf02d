// The radio server's information text (window type 2): the text broken into centred lines of at
// most 20 characters, five shown at a time and scrolled by the up and down buttons; OK and cancel
// as the options ask. Update records leave it unchanged.
#pragma once

#include "ktxabstract.h"

#include <QList>

#include <memory>

namespace Ui {
class KTXInfoClass;
}

class KTXInfo : public KTXAbstract {
    Q_OBJECT

public:
    explicit KTXInfo(QWidget* parent = nullptr);
    ~KTXInfo() override;

    void hold(char* payload) override;
    void init(char* payload) override;
    void parseOptions(char* options) override;
    void parseContent(char* content) override;
    void draw();

private slots:
    void onOkBtn();
    void onCancelBtn();
    void onUpBtn();
    void onDownBtn();

private:
    struct TextLine {
        QString text;
        int length;
        int index;
    };

    void wrapText();
    void addLine(const QString& text);

    std::unique_ptr<Ui::KTXInfoClass> ui;
    QString infoText;
    QList<TextLine> lines;
    int scrollPosition = -1;
};
