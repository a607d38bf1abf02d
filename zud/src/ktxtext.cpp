#include "ktxtext.h"

#include "ui_ktxtext.h"

#include <cstring>

KTXText::KTXText(QWidget* parent)
    : KTXAbstract(parent)
    , ui(std::make_unique<Ui::KTXTextClass>())
{
    ui->setupUi(this);
    type = kStatusText;
    setUpMatrix(ui->text);
}

KTXText::~KTXText() = default;

void KTXText::init(char* payload)
{
    if (payload) {
        // Runs of ";" count as one separator: an empty title makes the text the title.
        char* rest = nullptr;
        if (const char* first = strtok_r(payload, ";", &rest)) {
            titleText = QString::fromLatin1(first);
            if (const char* second = strtok_r(nullptr, ";", &rest))
                statusText = QString::fromLatin1(second);
        }
    }
    lines = wrapWords(statusText);
    draw();
    ui->title->setText(titleText);
}

void KTXText::hold(char* payload)
{
    drawHoldOverlay(ui->text, payload);
}

void KTXText::draw()
{
    ui->text->clear();
    drawLines(ui->text, lines);
}
