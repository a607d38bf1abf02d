// The radio server's main menu (window type 1): four menu lines on the matrix, four soft-key
// buttons above it whose icons and states the server sets, and "C" to leave the remote control.
#pragma once

#include "ktxabstract.h"

#include <QByteArray>

#include <array>
#include <memory>

class QPushButton;
namespace Ui {
class KTXMainClass;
}

class KTXMain : public KTXAbstract {
    Q_OBJECT

public:
    explicit KTXMain(QWidget* parent = nullptr);
    ~KTXMain() override;

    void hold(char* payload) override;
    // init and update alike: re-read what the payload carries and redraw.
    void update(char* payload) override;
    using KTXAbstract::update;
    void init(char* payload) override;
    // "b<n><letter>=<value>": icon ("i", 1 to 6) and state ("s", 1 enabled) of button n.
    void parseOptions(char* options) override;
    // Up to four lines, one per line feed.
    void parseContent(char* content) override;
    void draw();

private slots:
    void onBtn1Clicked();
    void onBtn2Clicked();
    void onBtn3Clicked();
    void onBtn4Clicked();
    void onCancelBtnClicked();

private:
    std::unique_ptr<Ui::KTXMainClass> ui;
    std::array<QByteArray, 4> lines;
    std::array<QString, 4> iconPaths;
    std::array<int, 4> btnStates{};
    std::array<QPushButton*, 4> buttons{};
};
