// The unit manager: turns the first announcement of a unit into the unit object of its protocol
// version, and holds the map of units by id.
#pragma once

#include <sigc++/sigc++.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

class Brelt;

// Every known unit by unit id (MAC text). Main loop only.
extern std::map<std::string, Brelt*> unitMap;

class UnitManager : public sigc::trackable {
public:
    UnitManager();
    ~UnitManager();
    UnitManager(const UnitManager&) = delete;
    UnitManager& operator=(const UnitManager&) = delete;

    // The process's unit manager (none before start-up and after stop).
    static UnitManager* instance();

    Brelt* find(const std::string& unitId) const;
    int sendText(const std::string& unitId, const std::string& text);
    void onAnnouncement(const uint8_t* frame, size_t length, const std::string& label);
    void relayUnitSignal(Brelt* unit, int status);

    sigc::signal<void(Brelt*)> unitAdded;
    sigc::signal<void(Brelt*)> unitChanged;
    sigc::signal<void(Brelt*)> unitDown;
};

// Keeps how the last program of `unit` ended for the object that the unit's next announcement
// creates, so that a unit replaced in mid-program never reads as one whose program succeeded.
void keepOutcomeForReplacement(const Brelt& unit);

// The unit object of the class that serves protocol version `version`.
Brelt* createUnit(int version, const std::string& unitId, int initialStatus);
