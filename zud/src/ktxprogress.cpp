#include "ktxprogress.h"

#include "ledmatrix.h"
#include "ui_ktxprogress.h"

#include <cstring>

namespace {

// The title option is read into a 512-byte field here: a longer title is cut.
constexpr int kTitleLength = 511;

void drawBarFrame(LedMatrix* matrix)
{
    matrix->drawRect(27, 3, 40, 124, 0, false);
}

} // namespace

KTXProgress::KTXProgress(QWidget* parent)
    : KTXAbstract(parent)
    , ui(std::make_unique<Ui::KTXProgressClass>())
{
    ui->setupUi(this);
    type = KtxProgressWindow;
    ui->cancelBtn->hide();
    connect(ui->cancelBtn, &QPushButton::clicked, this, &KTXProgress::onCancelBtn);
    setUpMatrix(ui->text);
    drawBarFrame(ui->text);
}

KTXProgress::~KTXProgress() = default;

void KTXProgress::hold(char* payload)
{
    drawHoldOverlay(ui->text, payload);
    ui->cancelBtn->setEnabled(false);
}

void KTXProgress::update(char* payload)
{
    splitPayload(payload);
    draw();
}

void KTXProgress::init(char* payload)
{
    splitPayload(payload);
    if (cancelFlag != 0) {
        ui->cancelBtn->show();
        ui->subtitle->setText(tr("(press C to cancel)"));
    }
    ui->title->setText(title);
    draw();
}

void KTXProgress::parseOptions(char* options)
{
    char* rest = nullptr;
    for (char* piece = strtok_r(options, ";", &rest); piece; piece = strtok_r(nullptr, ";", &rest)) {
        int number = 0;
        QString text;
        if (scanNumber(piece, "to=", &number))
            timeout = number;
        else if (scanText(piece, "title=", kTitleLength, &text))
            title = text;
        else if (scanNumber(piece, "cancel=", &number))
            cancelFlag = number;
        else if (scanNumber(piece, "progress=", &number) && number >= 1 && number <= 100
                 && number > progressValue)
            progressValue = number;
    }
}

void KTXProgress::draw()
{
    ui->text->clear();
    drawBarFrame(ui->text);
    // Overlapping three-column rectangles make a solid block from column 2 to column m + 3.
    const float n = progressValue * 1.21f;
    for (int k = 0; k < n; ++k)
        ui->text->drawRect(27, k + 2, 40, k + 4, 0, false);
    ui->text->drawText(QString::number(progressValue) + QLatin1Char('%'), 46, 54, LedMatrix::kLargeFont);
}

void KTXProgress::onCancelBtn()
{
    emit key(KtxCancel, nullptr);
}
