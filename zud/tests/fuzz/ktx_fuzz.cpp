// Fuzz target of the handset display's input from the network: the base64 text and record
// decoding, then every window's init, update and hold with what the record carries.
//
// Input: a length byte, then the "ktx" reply's base64 text and record bytes of the rest. The first
// window payload of a record goes to init of the window its type names (each type in turn when
// the record names none), the rest of the input to update and hold, and to the input window's
// keys.
#include "ktxaccept.h"
#include "ktxchoice.h"
#include "ktxinfo.h"
#include "ktxinput.h"
#include "ktxmain.h"
#include "ktxprogress.h"
#include "ktxrecord.h"
#include "ktxtext.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<KTXAbstract> makeWindow(int type)
{
    switch (type) {
    case KtxMainWindow: return std::make_unique<KTXMain>();
    case KtxInfoWindow: return std::make_unique<KTXInfo>();
    case KtxChoiceWindow: return std::make_unique<KTXChoice>();
    case KtxInputWindow: return std::make_unique<KTXInput>();
    case KtxAcceptWindow: return std::make_unique<KTXAccept>();
    case KtxProgressWindow: return std::make_unique<KTXProgress>();
    case KTXAbstract::kStatusText: return std::make_unique<KTXText>();
    default: return std::make_unique<KTXAbstract>();
    }
}

// A modifiable NUL-terminated copy, as the windows get their payloads.
QByteArray terminated(const QByteArray& bytes)
{
    QByteArray copy = bytes.left(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0'));
    copy.detach();
    return copy;
}

void exercise(int type, const QByteArray& payload, const QByteArray& rest)
{
    std::unique_ptr<KTXAbstract> window = makeWindow(type);
    QByteArray buffer = terminated(payload);
    window->init(buffer.data());
    buffer = terminated(rest);
    window->update(buffer.data());
    if (auto* input = dynamic_cast<KTXInput*>(window.get()))
        for (char c : rest.left(64))
            input->keyInput(static_cast<unsigned char>(c));
    buffer = terminated(rest);
    window->hold(buffer.data());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QString why;
    decodeKtxData(data[0], QString::fromLatin1(input), &why);
    const std::optional<KtxRecord> record = KtxRecord::decode(input, &why);
    if (!record || record->payload.isEmpty())
        return 0;
    const QByteArray rest = input.mid(KtxRecord::kHeaderSize + record->payload.size());
    if (record->windowType >= KtxMainWindow && record->windowType <= KtxProgressWindow) {
        exercise(record->windowType, record->payload, rest);
    } else {
        for (int type : {1, 2, 3, 4, 5, 6, int(KTXAbstract::kStatusText), int(KTXAbstract::kPlaceholder)})
            exercise(type, record->payload, rest);
    }
    return 0;
}
