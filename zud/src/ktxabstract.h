// The base of every window shown in place of a radio's handset display: the radio server's six
// menu windows and the console's own status text window. A bare KTXAbstract is the empty
// placeholder frame of the handset link.
//
// A window payload reads "o:" options "|" "c:" content. Payloads arrive from the network as
// modifiable NUL-terminated buffers that the window may cut up in place; nothing here reads past
// the NUL or writes past a field.
#pragma once

#include <QFrame>
#include <QString>
#include <QStringList>

class LedMatrix;

// Codes of the key signal.
enum KtxKeyCode {
    KtxSelectionMoved = -1,
    KtxButton1 = 1,
    KtxButton2 = 2,
    KtxButton3 = 3,
    KtxButton4 = 4,
    KtxCancel = 10,
    KtxOk = 11,
    KtxLeave = 67, // 'C': leave the handset display locally; nothing goes to the server
};

// Window types of a new-window record, the type of each window.
enum KtxWindowType {
    KtxMainWindow = 1,
    KtxInfoWindow = 2,
    KtxChoiceWindow = 3,
    KtxInputWindow = 4,
    KtxAcceptWindow = 5,
    KtxProgressWindow = 6,
    KtxHoldWindow = 7, // no new window: the open one is held
};

class KTXAbstract : public QFrame {
    Q_OBJECT

public:
    // Types beside the server's windows.
    static constexpr int kPlaceholder = -1;
    static constexpr int kStatusText = 255;

    // A display line of the large font: 21 characters from column 1; five lines on the matrix.
    // Words are joined while a line holds at most kWrapWidth characters without joining spaces.
    static constexpr int kLineCharacters = 21;
    static constexpr int kShownLines = 5;
    static constexpr int kWrapWidth = 19;

    explicit KTXAbstract(QWidget* parent = nullptr);

    // The server holds the window. The placeholder only logs and disables itself; every window
    // overrides this with the hold overlay.
    virtual void hold(char* payload);
    // An update record for the open window.
    virtual void update(char* payload);
    using QFrame::update;
    // The first and only full parse and drawing of a new window.
    virtual void init(char* payload);
    virtual void parseOptions(char* options);
    virtual void parseContent(char* content);

    // Hands the options and the content of a payload to parseOptions and parseContent.
    void splitPayload(char* payload);

    int type = kPlaceholder;
    QString title;
    int timeout = 0;
    int okFlag = 0;
    int cancelFlag = 0;

signals:
    // The text is null or a NUL-terminated string valid only while the signal is delivered.
    void key(int code, char* text);

protected:
    // The option keys shared by the info, choice and accept windows: to, title, ok, cancel.
    void parseCommonOptions(char* options);
    // Whether a piece reads key + a decimal number (optional sign; what follows is ignored).
    static bool scanNumber(const char* piece, const char* key, int* value);
    // A decimal number at the start of text (leading whitespace and a sign allowed), kept to the
    // range of int; end, when given, is set behind its digits.
    static bool readNumber(const char* text, int* value, const char** end = nullptr);
    // Whether a piece begins with key; the rest up to a line feed (or up to the first character
    // that admitted refuses), at most maxLength characters, goes to text.
    static bool scanText(const char* piece, const char* key, int maxLength, QString* text,
                         bool (*admitted)(char) = nullptr);

    // 128 x 64 LEDs, black on the green field.
    static void setUpMatrix(LedMatrix* matrix);
    // Up to five lines of the large font at rows 7, 18, 29, 40 and 51 from column 1.
    static void drawLines(LedMatrix* matrix, const QStringList& lines);
    // (21 - length) / 2 spaces in front of a line shorter than a display line.
    static QString centred(const QString& line);
    // A text broken into at most five centred display lines: one line when it fits the 21
    // characters, else whole words (runs of whitespace split them) joined while a line holds at
    // most 19 characters without its joining spaces.
    static QStringList wrapWords(const QString& text);
    // The box with the hourglass and the message of a hold payload, or the hourglass alone over
    // the current picture when the payload has no message. The caller disables its buttons.
    static void drawHoldOverlay(LedMatrix* matrix, char* payload);
};
