// The configuration tree: the in-memory form of a ".conf" file, and its text form.
//
// Text form: a header line "# config file <ctime>" and an empty line, then one line per node,
// depth first, indented by one TAB per level: "|key|" or "|key| = |value|". Nothing is escaped,
// so a key or value holding '|', CR, LF or NUL cannot be written (see isWritableText).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ConfigNode {
public:
    // Results of saveToFile and saveToBuffer.
    static constexpr int kSaved = 0;
    static constexpr int kCannotCreate = -1;  // the file (or its temporary twin) cannot be created or renamed
    static constexpr int kWriteFailed = -2;   // a write failed, or the buffer is too small for the header
    static constexpr int kUnwritable = -3;    // a key or value fails isWritableText; nothing is written

    // Results of loadFromFile and loadFromText.
    static constexpr int kRead = 0;
    static constexpr int kCannotRead = -1;    // the file cannot be opened or read
    static constexpr int kKeyUnclosed = -2;   // a key without its closing bar
    static constexpr int kValueUnclosed = -3; // a value without its closing bar
    static constexpr int kDepthJump = -4;     // a line more than one level deeper than the one before it

    std::vector<std::unique_ptr<ConfigNode>> children;
    bool keepOrder = false; // true: children are written in list order, else sorted by key
    std::string key;
    std::string value; // empty: the node has no value

    ConfigNode() = default;
    ConfigNode(std::string key, std::string value = {});
    ConfigNode(const ConfigNode&) = delete;
    ConfigNode& operator=(const ConfigNode&) = delete;

    // A key or value survives writing and reading only when this is true: no '|', CR, LF or NUL.
    // The store refuses such texts before they reach a tree.
    static bool isWritableText(std::string_view text);

    void clear();

    // Lookup never creates. Each path element picks the first child with that key.
    ConfigNode* findChild(std::string_view key) const;
    // get("system", "icons"): null as soon as one key is missing.
    template <class... Keys>
    ConfigNode* get(const Keys&... keys) const
    {
        static_assert(sizeof...(Keys) > 0, "a path needs at least one key");
        const std::string_view path[] = {std::string_view(keys)...};
        return getPath(path, sizeof...(Keys));
    }
    ConfigNode* getPath(const std::string_view* keys, size_t count) const;
    // False when the child is missing or its value is empty.
    bool getString(std::string_view key, std::string& out) const;
    // The value read as a decimal int (leading white space and a sign allowed, stops at the first
    // non-digit); false when missing, empty, not a number or out of the int range.
    bool getInt(std::string_view key, int& out) const;
    bool getBool(std::string_view key, bool& out) const;

    // Like get, but creates every missing element (empty value) at the end of its parent's list.
    template <class... Keys>
    ConfigNode* makePath(const Keys&... keys)
    {
        static_assert(sizeof...(Keys) > 0, "a path needs at least one key");
        const std::string_view path[] = {std::string_view(keys)...};
        return makePathOf(path, sizeof...(Keys));
    }
    ConfigNode* makePathOf(const std::string_view* keys, size_t count);
    ConfigNode* addChild(std::string key, std::string value = {});
    void addValue(std::string key, std::string value); // nothing when the value is empty
    ConfigNode* addInt(std::string key, int32_t value);
    ConfigNode* addBool(std::string key, bool value);

    // Writes the header and the tree to `path` through a temporary file in the same directory,
    // renamed into place only when every byte is written: kSaved, kCannotCreate, kWriteFailed or
    // kUnwritable. Sorts the children of every node without keepOrder, in place.
    int saveToFile(const std::string& path);
    // Writes this node's descendants, starting at `depth`; false at the first failed write.
    bool writeToFile(FILE* stream, int depth);
    // The same text into memory: at most room - 1 bytes and a closing NUL; cursor and room advance.
    // kSaved, kUnwritable, or kWriteFailed when the text does not fit whole (what fitted is kept,
    // NUL-terminated).
    int saveToBuffer(char*& cursor, int32_t& room);
    bool writeToBuffer(char*& cursor, int32_t& room, int depth);
    // The whole text as a string (header included), or kUnwritable through `result`.
    std::string saveToText(int* result = nullptr);

    // Appends the nodes of the text form below this node. On an error the nodes read before it
    // stay; `errorLine` (when given) receives the line of the error, counted from 1, or 0.
    int loadFromFile(const std::string& path, int* errorLine = nullptr);
    int loadFromText(std::string_view text, int* errorLine = nullptr);

    void dump() const;

    // Byte-wise order of keys (unsigned bytes; a prefix sorts first).
    static bool keyLess(const ConfigNode& a, const ConfigNode& b);

private:
    template <class Sink>
    bool writeLines(Sink& sink, int depth);
    bool allWritable() const;
};
