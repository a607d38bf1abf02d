#pragma once

// The map from unit id to the discovered central units.
// Units and their updater are not built yet: for now this object only holds its place in the start and stop
// order of the unit services.
class UnitManager {
public:
    UnitManager();
    ~UnitManager();
    UnitManager(const UnitManager&) = delete;
    UnitManager& operator=(const UnitManager&) = delete;
};
