#include "tree/config_node.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>

ConfigNode::ConfigNode(std::string key, std::string value) : key(std::move(key)), value(std::move(value)) {}

bool ConfigNode::isWritableText(std::string_view text)
{
    return text.find_first_of(std::string_view("|\r\n\0", 4)) == std::string_view::npos;
}

void ConfigNode::clear()
{
    children.clear();
}

ConfigNode* ConfigNode::findChild(std::string_view wanted) const
{
    for (const auto& child : children)
        if (child->key == wanted) return child.get();
    return nullptr;
}

ConfigNode* ConfigNode::getPath(const std::string_view* keys, size_t count) const
{
    const ConfigNode* node = this;
    for (size_t i = 0; i < count && node; ++i) node = node->findChild(keys[i]);
    return const_cast<ConfigNode*>(node);
}

bool ConfigNode::getString(std::string_view wanted, std::string& out) const
{
    const ConfigNode* child = findChild(wanted);
    if (!child || child->value.empty()) return false;
    out = child->value;
    return true;
}

bool ConfigNode::getInt(std::string_view wanted, int& out) const
{
    const ConfigNode* child = findChild(wanted);
    if (!child) return false;
    // Formatted-input "%d": white space, a sign, digits up to the first non-digit.
    const std::string& text = child->value;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    long long number = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        number = number * 10 + (text[i] - '0');
        if (number > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) number = -number;
    if (number < INT_MIN || number > INT_MAX) return false;
    out = static_cast<int>(number);
    return true;
}

bool ConfigNode::getBool(std::string_view wanted, bool& out) const
{
    int number = 0;
    if (!getInt(wanted, number)) return false;
    out = number != 0;
    return true;
}

ConfigNode* ConfigNode::makePathOf(const std::string_view* keys, size_t count)
{
    ConfigNode* node = this;
    for (size_t i = 0; i < count; ++i) {
        ConfigNode* next = node->findChild(keys[i]);
        node = next ? next : node->addChild(std::string(keys[i]));
    }
    return node;
}

ConfigNode* ConfigNode::addChild(std::string childKey, std::string childValue)
{
    children.push_back(std::make_unique<ConfigNode>(std::move(childKey), std::move(childValue)));
    return children.back().get();
}

void ConfigNode::addValue(std::string childKey, std::string childValue)
{
    if (!childValue.empty()) addChild(std::move(childKey), std::move(childValue));
}

ConfigNode* ConfigNode::addInt(std::string childKey, int32_t number)
{
    return addChild(std::move(childKey), std::to_string(number));
}

ConfigNode* ConfigNode::addBool(std::string childKey, bool flag)
{
    return addChild(std::move(childKey), flag ? "1" : "0");
}

bool ConfigNode::keyLess(const ConfigNode& a, const ConfigNode& b)
{
    size_t common = std::min(a.key.size(), b.key.size());
    int order = memcmp(a.key.data(), b.key.data(), common); // memcmp compares unsigned bytes
    if (order != 0) return order < 0;
    return a.key.size() < b.key.size();
}

bool ConfigNode::allWritable() const
{
    for (const auto& child : children)
        if (!isWritableText(child->key) || !isWritableText(child->value) || !child->allWritable()) return false;
    return true;
}

namespace {

std::string header_line()
{
    char date[64] = "";
    time_t now = time(nullptr);
    if (!ctime_r(&now, date)) date[0] = '\0'; // "Wed Jun 30 21:49:08 1993\n"
    return std::string("# config file ") + date + "\n";
}

struct FileSink {
    FILE* stream;
    bool operator()(std::string_view piece) const
    {
        return piece.empty() || fwrite(piece.data(), 1, piece.size(), stream) == piece.size();
    }
};

// A piece fits only when one byte stays free for the closing NUL.
struct BufferSink {
    char*& cursor;
    int32_t& room;
    bool operator()(std::string_view piece) const
    {
        if (room <= 0 || piece.size() >= static_cast<size_t>(room)) return false;
        memcpy(cursor, piece.data(), piece.size());
        cursor += piece.size();
        room -= static_cast<int32_t>(piece.size());
        return true;
    }
};

struct StringSink {
    std::string& text;
    bool operator()(std::string_view piece) const
    {
        text.append(piece);
        return true;
    }
};

// Whether a name's last six characters are mkstemp's: letters and digits of at least two of the
// classes, so that a user's "x.conf.backup" or "x.conf.202401" is never taken for one.
bool isTemporarySuffix(std::string_view six)
{
    int lower = 0, upper = 0, digit = 0;
    for (char c : six) {
        const auto byte = static_cast<unsigned char>(c);
        if (islower(byte)) lower = 1;
        else if (isupper(byte)) upper = 1;
        else if (isdigit(byte)) digit = 1;
        else return false;
    }
    return lower + upper + digit >= 2;
}

// Whether a file holds what a save writes first, or nothing yet.
bool startsAsSaved(const std::filesystem::path& file)
{
    const std::string header = "# config file ";
    std::string start(header.size(), '\0');
    FILE* stream = fopen(file.c_str(), "rb");
    if (!stream) return false;
    const size_t got = fread(start.data(), 1, start.size(), stream);
    fclose(stream);
    return got == 0 || start.compare(0, got, header, 0, got) == 0;
}

// Removes the temporary files that a save of `path` left when the process was killed: regular files
// named as mkstemp names them beside it (the path, a dot and six characters) that hold the start of a
// saved configuration. Nothing else.
void removeLeftovers(const std::string& path)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    const std::string prefix = target.filename().string() + ".";
    const fs::path directory = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code error;
    for (fs::directory_iterator entry(directory, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
        if (!isTemporarySuffix(std::string_view(name).substr(prefix.size()))) continue;
        std::error_code kind;
        if (entry->symlink_status(kind).type() != fs::file_type::regular || !startsAsSaved(entry->path())) continue;
        std::error_code removed;
        fs::remove(entry->path(), removed);
    }
}

} // namespace

template <class Sink>
bool ConfigNode::writeLines(Sink& sink, int depth)
{
    if (!keepOrder)
        std::stable_sort(children.begin(), children.end(),
                         [](const auto& a, const auto& b) { return keyLess(*a, *b); });
    const std::string tabs(static_cast<size_t>(depth), '\t');
    for (const auto& child : children) {
        if (!sink(std::string_view(tabs))) return false;
        if (!sink("|" + child->key + "|")) return false;
        if (!sink(child->value.empty() ? std::string("\n") : " = |" + child->value + "|\n")) return false;
        if (!child->children.empty() && !child->writeLines(sink, depth + 1)) return false;
    }
    return true;
}

bool ConfigNode::writeToFile(FILE* stream, int depth)
{
    FileSink sink{stream};
    return writeLines(sink, depth);
}

bool ConfigNode::writeToBuffer(char*& cursor, int32_t& room, int depth)
{
    BufferSink sink{cursor, room};
    return writeLines(sink, depth);
}

int ConfigNode::saveToBuffer(char*& cursor, int32_t& room)
{
    if (!allWritable()) return kUnwritable;
    BufferSink sink{cursor, room};
    int result = sink(header_line()) && writeLines(sink, 0) ? kSaved : kWriteFailed;
    if (room > 0) {
        *cursor = '\0';
        room -= 1;
    }
    return result;
}

std::string ConfigNode::saveToText(int* result)
{
    std::string text;
    if (!allWritable()) {
        if (result) *result = kUnwritable;
        return text;
    }
    StringSink sink{text};
    sink(header_line());
    writeLines(sink, 0);
    if (result) *result = kSaved;
    return text;
}

int ConfigNode::saveToFile(const std::string& path)
{
    if (path.empty()) return kCannotCreate;
    if (!allWritable()) return kUnwritable;

    // Written beside the target and renamed over it, so a failed write never leaves a cut file; what
    // an earlier save that was killed left there goes first.
    removeLeftovers(path);
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return kCannotCreate;
    // A file that is replaced keeps its permissions.
    struct stat existing;
    fchmod(fd, stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0644);
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        close(fd);
        unlink(temporary.c_str());
        return kCannotCreate;
    }
    FileSink sink{stream};
    bool written = sink(header_line()) && writeLines(sink, 0);
    written = fflush(stream) == 0 && written;
    written = fsync(fileno(stream)) == 0 && written;
    written = fclose(stream) == 0 && written;
    if (!written) {
        unlink(temporary.c_str());
        return kWriteFailed;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return kCannotCreate;
    }
    return kSaved;
}

int ConfigNode::loadFromFile(const std::string& path, int* errorLine)
{
    if (errorLine) *errorLine = 0;
    FILE* stream = fopen(path.c_str(), "rb");
    if (!stream) return kCannotRead;
    std::string text;
    char block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, stream)) > 0) text.append(block, got);
    bool failed = ferror(stream) != 0;
    fclose(stream);
    if (failed) return kCannotRead;
    return loadFromText(text, errorLine);
}

int ConfigNode::loadFromText(std::string_view text, int* errorLine)
{
    if (errorLine) *errorLine = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    std::vector<ConfigNode*> parents{this};
    size_t depth = 0;
    ConfigNode* last = nullptr;
    int lineNumber = 0;

    auto fail = [&](int code) {
        if (code == kDepthJump)
            fprintf(stderr, "Line %d : error -4\n", lineNumber);
        else
            fprintf(stderr, "Error (%d) reading configuration at line %d!\n", code, lineNumber);
        if (errorLine) *errorLine = lineNumber;
        return code;
    };

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;

        // Only lines led by a TAB or a bar hold nodes: the header and empty lines are skipped.
        size_t lineDepth = 0;
        if (line.empty()) continue;
        if (line[0] == '\t')
            while (lineDepth < line.size() && line[lineDepth] == '\t') ++lineDepth;
        else if (line[0] != '|')
            continue;

        size_t keyBar = line.find('|');
        if (keyBar == std::string_view::npos) continue;
        size_t keyEnd = line.find('|', keyBar + 1);
        if (keyEnd == std::string_view::npos) return fail(kKeyUnclosed);
        std::string_view nodeKey = line.substr(keyBar + 1, keyEnd - keyBar - 1);
        std::string_view nodeValue;
        size_t valueBar = line.find('|', keyEnd + 1);
        if (valueBar != std::string_view::npos) {
            size_t valueEnd = line.find('|', valueBar + 1);
            if (valueEnd == std::string_view::npos) return fail(kValueUnclosed);
            nodeValue = line.substr(valueBar + 1, valueEnd - valueBar - 1);
        }

        if (lineDepth > depth) {
            // A first node below depth 0 has no parent either: the file is malformed.
            if (lineDepth != depth + 1 || !last) return fail(kDepthJump);
            parents.push_back(last);
            depth = lineDepth;
        } else if (lineDepth < depth) {
            parents.resize(parents.size() - (depth - lineDepth));
            depth = lineDepth;
        }
        last = parents.back()->addChild(std::string(nodeKey), std::string(nodeValue));
    }
    return kRead;
}

void ConfigNode::dump() const
{
    fprintf(stderr, ">>>>>>>>>>>>>>>>>>>\n");
    for (const auto& child : children) {
        fprintf(stderr, "[%s] = [%s]\n", child->key.c_str(), child->value.c_str());
        if (!child->children.empty()) child->dump();
    }
    fprintf(stderr, "<<<<<<<<<<<<<<<<<<<\n");
}
