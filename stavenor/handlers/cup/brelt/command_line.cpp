#include "handlers/cup/brelt/command_line.h"

#include "common/logger.h"
#include "handlers/cup/brelt/operations/file_payload.h"

Tokens tokenizeCommand(const std::string& line)
{
    Tokens tokens;
    size_t start = 0;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            // Letters in front of a quote that opens inside a word are dropped.
            if (quoted) tokens.push_back(line.substr(start, i - start));
            quoted = !quoted;
            start = i + 1;
        } else if (c == ' ' && !quoted) {
            if (i > start) tokens.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < line.size()) tokens.push_back(line.substr(start));
    return tokens;
}

Tokens parseCommandLine(const std::string& unitId, const std::string& line)
{
    LOG(LOG_BRELT, "brelt %s : queue command `%s`\n", unitId.c_str(), line.c_str());
    Tokens tokens = tokenizeCommand(line);
    LOG(LOG_BRELT, "\tcommand parsed (%lu):\n", static_cast<unsigned long>(tokens.size()));
    for (const std::string& token : tokens) LOG(LOG_BRELT, "\t\t%s\n", token.c_str());
    if (tokens.empty()) LOG(LOG_BRELT, "brelt %s : no command!\n", unitId.c_str());
    return tokens;
}

bool lineBeginsWith(const std::string& line, const char* text) { return line.rfind(text, 0) == 0; }

std::optional<std::string> moduleNameOf(const std::string& fileToken)
{
    static const std::string marker = "_module_";
    // Only the file's own name counts: a directory such as "./tmp_module_x/" names no module.
    const std::string name = nameOf(fileToken);
    const size_t at = name.find(marker);
    if (at == std::string::npos) return std::nullopt;
    const size_t start = at + marker.size();
    const size_t end = name.find('_', start + 1);
    return name.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool isModuleName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}
