#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class CentralUnitsDialog; }

// The frame of a table of the configured central units with "+" and "-"; it lists no unit yet.
class CentralUnitsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CentralUnitsDialog(QWidget *parent = nullptr);
    ~CentralUnitsDialog() override;

private:
    std::unique_ptr<Ui::CentralUnitsDialog> ui;
};
