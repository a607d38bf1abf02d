#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class NewUnitDialog; }

// Asks for the name, password, address and inactivity timeout of one more central unit; OK waits
// for a name and a usable unit address.
class NewUnitDialog : public QDialog
{
    Q_OBJECT
public:
    explicit NewUnitDialog(QWidget *parent = nullptr);
    ~NewUnitDialog() override;

    // A dotted IPv4 address of a unit, as typed: four decimal parts of 0..255, none longer than
    // three characters; the first part neither 0, 127 nor 255.
    static bool isValidIpAddress(const QString &address);
    // Why the typed address cannot be a unit's, in the operator's words; empty when it can, and
    // for an empty text (nothing typed yet).
    static QString addressProblem(const QString &address);
    void updateOkButton();

    // The form for a configured unit: its values filled in, its name fixed.
    void showUnit(const QString &name, const QString &ipAddress, int ttl, const QString &password);
    QString name() const;
    QString ipAddress() const;
    // The inactivity timeout in seconds, as decimal text.
    QString ttl() const;
    QString password() const;

private slots:
    void on_ipLineEdit_textChanged(const QString &);
    void on_nameLineEdit_textChanged(const QString &);

private:
    std::unique_ptr<Ui::NewUnitDialog> ui;
    // The address zud.conf holds for the unit shown: kept as it is, whatever the rule for a new
    // address says.
    QString keptAddress;
};
