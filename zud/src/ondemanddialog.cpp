#include "ondemanddialog.h"

#include "ui_ondemanddialog.h"

#include <algorithm>

OnDemandDialog::OnDemandDialog(const QStringList &operators, QWidget *parent)
    : QDialog(parent), ui(new Ui::OnDemandDialog)
{
    ui->setupUi(this);
    QStringList names = operators;
    // Sorted as an operator reads names, regardless of case; case only settles ties.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    ui->participantsListWidget->addItems(names);
}

OnDemandDialog::~OnDemandDialog() = default;

QStringList OnDemandDialog::chosenUsers() const
{
    QStringList chosen;
    for (int row = 0; row < ui->participantsListWidget->count(); ++row)
        if (QListWidgetItem *item = ui->participantsListWidget->item(row); item->isSelected())
            chosen << item->text();
    return chosen;
}
