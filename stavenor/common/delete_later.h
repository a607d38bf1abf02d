// Deferred deletion: an object whose work ends inside one of its own signal handlers is deleted
// by a one-shot idle callback of the main loop, after the current dispatch has returned.
#pragma once

#include <glibmm/main.h>

template <class T>
bool deleteOnIdle(T* object)
{
    delete object;
    return false; // removes the idle source: runs exactly once
}

// Main thread only. Each object may be handed over once.
template <class T>
void deleteLater(T* object)
{
    Glib::signal_idle().connect(sigc::bind(&deleteOnIdle<T>, object), Glib::PRIORITY_DEFAULT_IDLE);
}
