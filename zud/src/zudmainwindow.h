#pragma once

#include <QMainWindow>

class QTreeWidgetItem;

#include <memory>

namespace Ui { class ZudMainWindow; }
class ConnectionsTreeWidget;

// The console's one main window: the tree of the central units and their resources.
class ZudMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static inline const QString title = QStringLiteral("Morvex ZT-5200K ZUD3");

    explicit ZudMainWindow(QWidget *parent = nullptr);
    ~ZudMainWindow() override;

    ConnectionsTreeWidget *connectionsTree() const;
    void restoreSettings();

public slots:
    void updateGui();
    void onCUBlocked(const QString &unitName);
    // Another start of the console asked this one to come to the front.
    void receivedMessage();

private slots:
    // Runs the unit's default action for the row.
    void on_connectionsTreeWidget_itemDoubleClicked(QTreeWidgetItem *row, int column);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::ZudMainWindow> ui;
};

extern ZudMainWindow *gZudWindow;
