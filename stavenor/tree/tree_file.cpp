#include "tree/tree_file.h"

#include <fstream>

namespace {

enum class LineKind { Skip, Section, Value, Error };

struct ScannedLine {
    LineKind kind = LineKind::Error;
    TreeNode node;
};

ScannedLine scanLine(const std::string& line)
{
    ScannedLine result;
    size_t depth = 0;
    while (depth < line.size() && line[depth] == '\t') ++depth;
    std::vector<size_t> bars;
    size_t equals = std::string::npos;
    bool colonEquals = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '|') {
            bars.push_back(i);
        } else if (line[i] == '=' && bars.size() == 2) {
            if (equals != std::string::npos) return result;
            equals = i;
            colonEquals = i > 0 && line[i - 1] == ':';
        }
    }
    if (bars.size() >= 6 && !colonEquals) return result;
    // An embedded NUL ends the line where the text form's reader would see nothing at all.
    if (!line.empty() && line[0] == '\0') return result;
    if (line.empty() || line[0] == '#' || line[0] == ' ' || line[0] == '\n' || line[0] == '\r') {
        result.kind = LineKind::Skip;
        return result;
    }
    if (depth > static_cast<size_t>(TREE_DEPTH_MAX)) return result;
    result.node.depth = static_cast<int>(depth);
    if (bars.size() == 2) {
        result.kind = LineKind::Section;
        result.node.section = true;
        result.node.name = line.substr(bars[0] + 1, bars[1] - bars[0] - 1);
        return result;
    }
    const bool valueShape = bars.size() == 4 || (bars.size() >= 5 && colonEquals);
    if (valueShape && equals != std::string::npos && equals < bars[2]) {
        result.kind = LineKind::Value;
        result.node.name = line.substr(bars[0] + 1, bars[1] - bars[0] - 1);
        result.node.value = line.substr(bars[2] + 1, bars.back() - bars[2] - 1);
    }
    return result;
}

bool hasHeader(std::istream& in)
{
    std::string first;
    const bool ok = std::getline(in, first) && first.rfind("# ", 0) == 0;
    in.clear();
    in.seekg(0);
    return ok;
}

bool validNode(const TreeFile& tree, int node) { return node >= 0 && node < static_cast<int>(tree.nodes.size()); }

} // namespace

int tree_load(const std::string& path, TreeFile& tree)
{
    tree_free(tree);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        tree.errorKind = 2;
        tree.errorLine = -1;
        return 0;
    }
    if (!hasHeader(in)) return 0;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const ScannedLine scanned = scanLine(line);
        if (scanned.kind == LineKind::Skip) continue;
        if (scanned.kind == LineKind::Error) {
            tree_free(tree);
            tree.errorKind = 1;
            tree.errorLine = lineNumber;
            return 0;
        }
        tree.nodes.push_back(scanned.node);
    }
    // A section's subtree runs up to the first later node that is not deeper than it.
    const int count = static_cast<int>(tree.nodes.size());
    tree.ends.assign(count, count);
    std::vector<int> open;
    for (int i = 0; i < count; ++i) {
        while (!open.empty() && tree.nodes[open.back()].depth >= tree.nodes[i].depth) {
            tree.ends[open.back()] = i;
            open.pop_back();
        }
        open.push_back(i);
    }
    return count > 0 ? 1 : 0;
}

int tree_free(TreeFile& tree)
{
    tree.nodes.clear();
    tree.ends.clear();
    return 1;
}

int tree_find(const TreeFile& tree, int start, const std::vector<std::string>& names)
{
    if (names.empty() || (start != -1 && !validNode(tree, start))) return -1;
    int end = start == -1 ? static_cast<int>(tree.nodes.size()) : tree.ends[start];
    int depth = start == -1 ? 0 : tree.nodes[start].depth + 1;
    size_t which = 0;
    for (int i = start + 1; i < end; ++i) {
        const TreeNode& node = tree.nodes[i];
        if (node.depth != depth || node.name != names[which]) continue;
        if (++which == names.size()) return i;
        end = tree.ends[i];
        ++depth;
    }
    return -1;
}

int tree_next_child(const TreeFile& tree, int node, int& cursor, std::string& name)
{
    const int count = static_cast<int>(tree.nodes.size());
    if (!validNode(tree, node) || cursor < 0 || cursor >= count) return 0;
    const int depth = tree.nodes[node].depth + 1;
    for (int i = cursor == 0 ? node + 1 : cursor + 1; i < tree.ends[node]; ++i) {
        if (tree.nodes[i].depth != depth) continue;
        cursor = i;
        name = tree.nodes[i].name;
        return 1;
    }
    return 0;
}

int tree_value(const TreeFile& tree, int node, std::string& value)
{
    if (!validNode(tree, node) || tree.nodes[node].section) return 0;
    value = tree.nodes[node].value;
    return 1;
}

int tree_find_child(const TreeFile& tree, int node, const std::string& name, std::string& value)
{
    if (!validNode(tree, node) || name.empty()) return 0;
    const int depth = tree.nodes[node].depth + 1;
    for (int i = node + 1; i < tree.ends[node]; ++i) {
        const TreeNode& child = tree.nodes[i];
        if (!child.section && child.depth == depth && child.name == name) {
            value = child.value;
            return 1;
        }
    }
    return 0;
}
