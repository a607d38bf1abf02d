// Identifies the unit behind one serial port: its prompt, then its MAC address; then makes sure a
// unit object exists for that address and hands it the port's console.
#pragma once

#include "handlers/cup/brelt/operations/operation.h"

#include <sigc++/sigc++.h>

#include <memory>
#include <string>

class SerialProtocol;

class Recognizer : public sigc::trackable {
public:
    explicit Recognizer(const std::string& portName);
    ~Recognizer();
    Recognizer(const Recognizer&) = delete;
    Recognizer& operator=(const Recognizer&) = delete;

private:
    void runCurrent();
    void onOperationDone(bool success);

    Job job;
    Job::iterator current;
    std::unique_ptr<SerialProtocol> protocol;
    std::string portName;
    sigc::connection doneConnection;
};
