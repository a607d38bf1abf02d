#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class AboutDialogClass; }

// The maker's logo, the product line and the build identification.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialogClass> ui;
};

// "id: <revision> [mod[<modification>]]" and, on a second line, the time stamp with blanks for
// its "_"; a modification of "0" means none.
QString appIdText(const QString &revision, const QString &timeStamp, const QString &modification);
