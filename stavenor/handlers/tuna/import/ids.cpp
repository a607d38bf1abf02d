// The id pass: every named object of the file gets its ids row and its name entry before any row
// refers to it, whichever section it stands in.
#include "handlers/tuna/import/import.h"

namespace tuna_import {

namespace {

void readLineId(ImportContext& im, const ConfigNode& device, const char* line)
{
    if (const ConfigNode* name = device.get(line, "name")) im.registerObject(IdKind::PhoneLine, name->value);
}

} // namespace

void readIds(ImportContext& im, const ConfigNode& root)
{
    if (const ConfigNode* nodes = root.get("nodes"))
        for (const auto& unit : nodes->children) im.registerObject(IdKind::Unit, unit->key);

    if (const ConfigNode* devices = root.get("system", "devices")) {
        for (const auto& device : devices->children) {
            // A device without a model of its own gets no id here; its reader makes one.
            std::string model;
            device->getString("type", model);
            if (model == "transceiver") {
                im.registerObject(IdKind::Radio, device->key);
            } else if (model == "MVQ-2GM") {
                im.registerObject(IdKind::Speaker, device->key);
            } else if (model == "MVQ-2TS" || model == "MVQ-2TS-A") {
                im.registerObject(IdKind::Telephone, device->key);
                readLineId(im, *device, "line 1");
                readLineId(im, *device, "line 2");
            }
        }
    }

    if (const ConfigNode* users = root.get("users"))
        for (const auto& user : users->children) im.registerObject(IdKind::Operator, user->key);
    if (const ConfigNode* conferences = root.get("system", "conferences"))
        for (const auto& conference : conferences->children) im.registerObject(IdKind::Conference, conference->key);
    if (const ConfigNode* events = root.get("system", "events"))
        for (const auto& event : events->children) im.registerObject(IdKind::Event, event->key);
}

} // namespace tuna_import
