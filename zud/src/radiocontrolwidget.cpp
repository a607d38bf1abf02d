#include "radiocontrolwidget.h"

#include "centralunit.h"
#include "centralunitmanager.h"
#include "ktxaccept.h"
#include "ktxchoice.h"
#include "ktxinfo.h"
#include "ktxinput.h"
#include "ktxmain.h"
#include "ktxprogress.h"
#include "ktxrecord.h"
#include "ktxtext.h"
#include "ui_radiocontrolwidget.h"

#include <QDebug>
#include <QKeyEvent>

namespace {

constexpr int kSupervisionMs = 5000;
constexpr int kIdMarker = ';';
constexpr int kRecordMarker = '>';
const QString kServerTitle = QStringLiteral("Morvex Radio Server");

} // namespace

RadioControlWidget::RadioControlWidget(const QString& radioName, const QString& unitName)
    : ui(std::make_unique<Ui::RadioControlWidget>())
    , radio(radioName)
    , unit(unitName)
{
    ui->setupUi(this);
    current = ui->frame;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &RadioControlWidget::onConnectionRequestTimeout);
    setWindowTitle(radio + " @ " + unit + " remote control");
}

RadioControlWidget::~RadioControlWidget()
{
    timer.stop();
}

QString RadioControlWidget::radioName() const
{
    return radio;
}

QString RadioControlWidget::unitName() const
{
    return unit;
}

KTXAbstract* RadioControlWidget::currentWindow() const
{
    return current;
}

void RadioControlWidget::receiveData(int marker, int length, const QString& data)
{
    if (marker != kIdMarker && marker != kRecordMarker)
        return;
    if (marker == kIdMarker && !waiting)
        return;
    QString why;
    const std::optional<QByteArray> bytes = decodeKtxData(length, data, &why);
    if (marker == kIdMarker) {
        // The first id text after a start is the only one read, whether it matches or not.
        waiting = false;
        const std::optional<KtxIdText> id = bytes ? KtxIdText::parse(*bytes) : std::nullopt;
        if (id && id->radioName == radio) {
            userId = id->userId;
            radioId = id->radioId;
            qDebug("ktx user id is [%d]", userId);
            qDebug("ktx radio id is [%d]", radioId);
        }
        return;
    }
    if (!bytes) {
        qDebug() << "WARNING: ktx record for" << radio << "dropped:" << why;
        return;
    }
    std::optional<KtxRecord> record = KtxRecord::decode(*bytes, &why);
    if (!record) {
        qDebug() << "WARNING: ktx record for" << radio << "dropped:" << why;
        return;
    }
    if (record->kind == KtxRecord::kNewWindow)
        createWindow(record->windowType, record->payload.data());
    else if (record->kind == KtxRecord::kUpdate && current)
        current->update(record->payload.data());
}

void RadioControlWidget::sendData(const QString& text)
{
    CentralUnit* centralUnit = gCentralUnitManager ? gCentralUnitManager->findUnit(unit) : nullptr;
    if (!centralUnit) {
        qDebug() << "ERROR: no such unit" << unit;
        return;
    }
    centralUnit->sendKtxCommand(radio, text);
}

void RadioControlWidget::start()
{
    qDebug() << "ktx window for radio" << radio << "started";
    sendData(QStringLiteral("start"));
    waiting = true;
    armTimer(&RadioControlWidget::onConnectionRequestTimeout);
    showStatusText(kServerTitle, QStringLiteral("Connecting to KTX..."));
}

void RadioControlWidget::stop()
{
    qDebug() << "ktx window for radio" << radio << "stopped";
    sendData(QStringLiteral("stop"));
    userId = 0;
    radioId = 0;
}

void RadioControlWidget::removeCurrentWindow()
{
    if (!current)
        return;
    ui->kduLayout->removeWidget(current);
    disconnect(current, &KTXAbstract::key, this, &RadioControlWidget::onKey);
    qDebug("delete old ktx window");
    current->hide();
    current->deleteLater();
    current = nullptr;
}

void RadioControlWidget::setCurrentWindow(KTXAbstract* window)
{
    ui->kduLayout->addWidget(window);
    current = window;
}

void RadioControlWidget::createWindow(int type, char* payload)
{
    if (type == KtxHoldWindow) {
        if (current)
            current->hold(payload);
        return;
    }
    removeCurrentWindow();
    KTXAbstract* window = nullptr;
    switch (type) {
    case KtxMainWindow:
        window = new KTXMain(this);
        qDebug("create ktx main window");
        break;
    case KtxInfoWindow:
        window = new KTXInfo(this);
        qDebug("create ktx info window");
        break;
    case KtxChoiceWindow:
        window = new KTXChoice(this);
        qDebug("create ktx choice window");
        break;
    case KtxInputWindow:
        window = new KTXInput(this);
        qDebug("create ktx input window");
        break;
    case KtxAcceptWindow:
        window = new KTXAccept(this);
        qDebug("create ktx accept window");
        break;
    case KtxProgressWindow:
        window = new KTXProgress(this);
        qDebug("create ktx progress window");
        break;
    default:
        return;
    }
    connect(window, &KTXAbstract::key, this, &RadioControlWidget::onKey);
    window->init(payload);
    setCurrentWindow(window);
}

void RadioControlWidget::showStatusText(const QString& title, const QString& text)
{
    removeCurrentWindow();
    auto* window = new KTXText(this);
    QByteArray payload = (title + ';' + text).toLatin1();
    window->init(payload.data());
    setCurrentWindow(window);
}

void RadioControlWidget::toggle()
{
    qDebug("toggle: %d", shown);
    if (!shown) {
        shown = true;
        show();
    } else {
        shown = false;
        hide();
        showStatusText(kServerTitle, QString());
    }
}

void RadioControlWidget::showConnectionLost()
{
    showStatusText(kServerTitle, QStringLiteral("Connection to KTX lost!"));
    armTimer(&RadioControlWidget::onConnectionLostTimeout);
}

void RadioControlWidget::updateWindow(char* payload)
{
    if (current)
        current->update(payload);
}

void RadioControlWidget::onKey(int code, char* text)
{
    if (code == KtxLeave) {
        toggle();
        return;
    }
    const QByteArray record = KtxRecord::keyRecord(userId, radioId, ktxKeyText(code, text));
    sendData(ktxDataMessage(record));
}

bool RadioControlWidget::serverWindowShown() const
{
    return current && current->type >= KtxMainWindow && current->type <= KtxProgressWindow;
}

void RadioControlWidget::armTimer(void (RadioControlWidget::*handler)())
{
    timer.disconnect();
    connect(&timer, &QTimer::timeout, this, handler);
    timer.start(kSupervisionMs);
}

void RadioControlWidget::onConnectionRequestTimeout()
{
    if (serverWindowShown())
        return;
    showStatusText(kServerTitle, QStringLiteral("Connection failed!"));
    armTimer(&RadioControlWidget::onConnectionFailedTimeout);
}

void RadioControlWidget::onConnectionFailedTimeout()
{
    timer.disconnect();
    if (serverWindowShown())
        return;
    if (isVisible())
        toggle();
}

void RadioControlWidget::onConnectionLostTimeout()
{
    timer.disconnect();
    toggle();
}

void RadioControlWidget::keyPressEvent(QKeyEvent* event)
{
    if (current && current->type == KtxInputWindow)
        static_cast<KTXInput*>(current)->keyInput(event->key());
    event->accept();
}

void RadioControlWidget::showEvent(QShowEvent* event)
{
    qDebug("show KTX window");
    shown = true;
    start();
    event->accept();
}

void RadioControlWidget::hideEvent(QHideEvent* event)
{
    qDebug("close KTX window");
    stop();
    event->accept();
}
