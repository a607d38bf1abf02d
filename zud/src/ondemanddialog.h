#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui { class OnDemandDialog; }

// Chooses who joins a conference on demand: the given operators sorted by name, any number of
// them selected.
class OnDemandDialog : public QDialog
{
    Q_OBJECT
public:
    explicit OnDemandDialog(const QStringList &operators, QWidget *parent = nullptr);
    ~OnDemandDialog() override;

    // The selected operators in the order of the list.
    QStringList chosenUsers() const;

private:
    std::unique_ptr<Ui::OnDemandDialog> ui;
};
