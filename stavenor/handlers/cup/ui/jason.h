#pragma once

// The state of the recovery page.
// Unit recovery is not built yet: for now this object only holds its place in the start and stop
// order of the unit services.
class JasonState {
public:
    JasonState();
    ~JasonState();
    JasonState(const JasonState&) = delete;
    JasonState& operator=(const JasonState&) = delete;
};
