// The remote handset of one radio at one central unit: a window that mirrors the menu window the
// radio server behind the unit opens, sends the operator's keys back, and reports when the server
// does not answer. Its texts travel through the unit's link as "ktx" commands and replies.
//
// Showing the widget sends "start", hiding it "stop". One single-shot timer of 5000 ms supervises
// the connection; its time-out is connected to exactly one handler at a time.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>

class KTXAbstract;
namespace Ui {
class RadioControlWidget;
}

class RadioControlWidget : public QWidget {
    Q_OBJECT

public:
    RadioControlWidget(const QString& radioName, const QString& unitName);
    ~RadioControlWidget() override;

    QString radioName() const;
    QString unitName() const;
    // Data of a "ktx" reply: marker 59 an id text, 62 a record; the first length characters of
    // data are base64.
    void receiveData(int marker, int length, const QString& data);
    // Hands a text to the unit's radio-server pass-through.
    void sendData(const QString& text);
    void start();
    void stop();
    // Type 7 holds the current window; types 1 to 6 replace it; any other type removes it.
    void createWindow(int type, char* payload);
    void showStatusText(const QString& title, const QString& text);
    void toggle();
    void showConnectionLost();
    void updateWindow(char* payload);
    KTXAbstract* currentWindow() const;

public slots:
    void onKey(int code, char* text);
    void onConnectionRequestTimeout();
    void onConnectionFailedTimeout();
    void onConnectionLostTimeout();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The window ends at the next return to the event loop: it may be delivering the signal
    // that led here.
    void removeCurrentWindow();
    void setCurrentWindow(KTXAbstract* window);
    void armTimer(void (RadioControlWidget::*handler)());
    bool serverWindowShown() const;

    std::unique_ptr<Ui::RadioControlWidget> ui;
    QString radio;
    QString unit;
    KTXAbstract* current = nullptr;
    bool shown = false;
    QTimer timer;
    std::uint16_t userId = 0;
    std::uint16_t radioId = 0;
    bool waiting = false;
};
