// The application object, its command line and the state that every part of pym reads.
#pragma once

#include <QApplication>

class QSettings;
class QWidget;

extern const char* const PRODUCT_TITLE;
// pym reaches its server at 127.0.0.1 on this port only; the server's config.cfg must say the same.
constexpr int SERVER_PORT = 8765;

// The one persistent settings store ("WinGeometry", "OpenFileLocation", "SaveFileLastLocation",
// "SaveFilePath").
QSettings& settings();
bool inspectorEnabled();
// The first web window built: parent of message boxes and target of title changes.
QWidget* mainWindow();
void setMainWindow(QWidget* window);

class viewer : public QApplication
{
    Q_OBJECT

public:
    viewer(int& argc, char** argv);
    ~viewer() override;

private:
    void parseArguments();
};
