// Owns the local configuration server: starts it as a child, watches it, ends it with pym.
#pragma once

#include <QObject>

class QProcess;
class QTimer;

// Ends the processes that run the executable at this path; see stavenor.cpp for which ones.
void killProcessesByName(const char* executable);

class stavenor : public QObject
{
    Q_OBJECT

public:
    explicit stavenor(QObject* parent = nullptr);
    ~stavenor() override;

private slots:
    void check();

private:
    bool startProcess();
    void stopProcess();

    QProcess* process;
    QTimer* checkTimer;
    bool started = false;
};
