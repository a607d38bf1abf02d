#include "ktxmain.h"

#include "ledmatrix.h"
#include "ui_ktxmain.h"

#include <QIcon>

#include <cstring>

namespace {

// A menu line holds 255 characters; lines 2 and 3 are padded and cut to 30.
constexpr int kLineLength = 255;
constexpr int kMiddleLineLength = 30;
constexpr int kOuterBlankLength = 20;

struct LineLayout {
    int row;
    int font;
};
constexpr LineLayout kLineLayout[4] = {
    {16, LedMatrix::kSmallFont}, {24, LedMatrix::kLargeFont}, {33, LedMatrix::kLargeFont}, {42, LedMatrix::kSmallFont}};

} // namespace

KTXMain::KTXMain(QWidget* parent)
    : KTXAbstract(parent)
    , ui(std::make_unique<Ui::KTXMainClass>())
{
    ui->setupUi(this);
    type = KtxMainWindow;
    lines.fill(QByteArray());
    buttons = {ui->btn1, ui->btn2, ui->btn3, ui->btn4};
    connect(ui->btn1, &QPushButton::clicked, this, &KTXMain::onBtn1Clicked);
    connect(ui->btn2, &QPushButton::clicked, this, &KTXMain::onBtn2Clicked);
    connect(ui->btn3, &QPushButton::clicked, this, &KTXMain::onBtn3Clicked);
    connect(ui->btn4, &QPushButton::clicked, this, &KTXMain::onBtn4Clicked);
    connect(ui->cancelButton, &QPushButton::clicked, this, &KTXMain::onCancelBtnClicked);
    setUpMatrix(ui->led);
}

KTXMain::~KTXMain() = default;

void KTXMain::hold(char* payload)
{
    drawHoldOverlay(ui->led, payload);
}

void KTXMain::update(char* payload)
{
    splitPayload(payload);
    draw();
}

void KTXMain::init(char* payload)
{
    update(payload);
}

void KTXMain::parseOptions(char* options)
{
    std::array<QString, 4> newPaths;
    std::array<int, 4> newStates{};
    char* rest = nullptr;
    for (char* piece = strtok_r(options, ";", &rest); piece; piece = strtok_r(nullptr, ";", &rest)) {
        // "b%d%c=%d": counted only when all three are read.
        int button = 0, value = 0;
        const char* letter = nullptr;
        if (piece[0] != 'b' || !readNumber(piece + 1, &button, &letter) || *letter == '\0'
            || letter[1] != '=' || !readNumber(letter + 2, &value) || button < 1 || button > 4)
            continue;
        if (*letter == 'i' && value >= 1 && value <= 6)
            newPaths[button - 1] = QStringLiteral(":/icons/images/morvex_%1.png").arg(value);
        else if (*letter == 's')
            newStates[button - 1] = value;
    }
    // A button whose state the options leave out falls back to 0, disabled.
    for (int i = 0; i < 4; ++i) {
        if (newPaths[i] == iconPaths[i] && newStates[i] == btnStates[i])
            continue;
        if (!newPaths[i].isEmpty())
            iconPaths[i] = newPaths[i];
        btnStates[i] = newStates[i];
        buttons[i]->setIcon(iconPaths[i].isEmpty() ? QIcon() : QIcon(iconPaths[i]));
        buttons[i]->setEnabled(btnStates[i] == 1);
    }
}

void KTXMain::parseContent(char* content)
{
    QByteArray pieces[4];
    char* rest = nullptr;
    char* piece = strtok_r(content, "\n", &rest);
    for (int i = 0; i < 4 && piece; ++i, piece = strtok_r(nullptr, "\n", &rest))
        pieces[i] = QByteArray(piece, qsizetype(strnlen(piece, kLineLength)));
    lines[0] = pieces[0].isNull() ? QByteArray(kOuterBlankLength, ' ') : pieces[0];
    lines[1] = pieces[1].leftJustified(kMiddleLineLength, ' ', true);
    lines[2] = pieces[2].leftJustified(kMiddleLineLength, ' ', true);
    lines[3] = pieces[3].isNull() ? QByteArray(kOuterBlankLength, ' ') : pieces[3];
}

void KTXMain::draw()
{
    ui->led->clear();
    for (int i = 0; i < 4; ++i)
        ui->led->drawText(QString::fromLatin1(lines[i]), kLineLayout[i].row, 3, kLineLayout[i].font);
}

void KTXMain::onBtn1Clicked()
{
    emit key(KtxButton1, nullptr);
}

void KTXMain::onBtn2Clicked()
{
    emit key(KtxButton2, nullptr);
}

void KTXMain::onBtn3Clicked()
{
    emit key(KtxButton3, nullptr);
}

void KTXMain::onBtn4Clicked()
{
    emit key(KtxButton4, nullptr);
}

void KTXMain::onCancelBtnClicked()
{
    emit key(KtxLeave, nullptr);
}
