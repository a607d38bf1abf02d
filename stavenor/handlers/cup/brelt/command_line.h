// Unit command lines: one line of text per command, cut into tokens at blanks, double quotes
// grouping a token.
#pragma once

#include <optional>
#include <string>
#include <vector>

using Tokens = std::vector<std::string>;

Tokens tokenizeCommand(const std::string& line);

// Logs the line and its tokens under the unit id, as every unit class does before parsing.
Tokens parseCommandLine(const std::string& unitId, const std::string& line);

bool lineBeginsWith(const std::string& line, const char* text);

// The module name carried by a module file's name (the part after its last '/'): the text behind
// "_module_" up to the next '_' (from its second character on). None when the name has no "_module_".
std::optional<std::string> moduleNameOf(const std::string& fileToken);
// A name the unit keeps as one directory of "/modules": not empty, no '/', not "." or "..".
bool isModuleName(const std::string& name);
