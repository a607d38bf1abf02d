// The central unit that an endpoint belongs to, as an SQL expression over a row of table endpoint:
// the unit that owns it, or the unit of the device that owns it; the empty text for neither.
// Endpoint names repeat across units (each unit has its own program sockets), so a route names
// the unit where the name alone would be ambiguous; the export and the import agree through this.
#pragma once

inline constexpr const char* kEndpointUnitSql =
    "COALESCE((SELECT id FROM centralUnits WHERE id = endpoint.parentId LIMIT 1),"
    " (SELECT breltID FROM radio WHERE id = endpoint.parentId LIMIT 1),"
    " (SELECT breltID FROM serialPort WHERE id = endpoint.parentId LIMIT 1),"
    " (SELECT breltID FROM crewStation WHERE id = endpoint.parentId LIMIT 1), '')";
