#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class NewUnitDialog; }

// Asks for the name, password, address and inactivity timeout of one more central unit.
class NewUnitDialog : public QDialog
{
    Q_OBJECT
public:
    explicit NewUnitDialog(QWidget *parent = nullptr);
    ~NewUnitDialog() override;

private:
    std::unique_ptr<Ui::NewUnitDialog> ui;
};
