// Reading a ".conf" text file into a flat list of nodes with depths, for path and child lookups.
// Each load makes a tree of its own; lines may be of any length.
#pragma once

#include <string>
#include <vector>

struct TreeNode {
    int depth = 0;       // leading tabs
    bool section = false;
    std::string name;
    std::string value;   // value nodes only
};

struct TreeFile {
    std::vector<TreeNode> nodes;
    std::vector<int> ends;  // per node: the index after its subtree
    int errorKind = 0;      // 1 syntax error, 2 the file did not open
    int errorLine = -1;     // the line of a syntax error, counting the header as line 1
};

// The deepest indentation a node may have.
constexpr int TREE_DEPTH_MAX = 127;

// 1 when the file was read and holds at least one node, 0 otherwise (the error fields say why;
// a file without the "# " header leaves them as they were). A failed load leaves no nodes.
int tree_load(const std::string& path, TreeFile& tree);
int tree_free(TreeFile& tree);
// The node at the path of names below `start` (-1: the top level), or -1.
int tree_find(const TreeFile& tree, int start, const std::vector<std::string>& names);
// The next child of `node` after `cursor` (0: the first child); 1 and the child's name, or 0.
int tree_next_child(const TreeFile& tree, int node, int& cursor, std::string& name);
int tree_value(const TreeFile& tree, int node, std::string& value);
// The value of `node`'s first value child called `name`; 1 when found, else 0.
int tree_find_child(const TreeFile& tree, int node, const std::string& name, std::string& value);
