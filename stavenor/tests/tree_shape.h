// Key, value and depth of every node of a configuration tree, depth first: what a written and
// re-read tree must keep. Shared by the unit tests and the fuzz target.
#pragma once

#include "tree/config_node.h"

#include <string>

inline std::string shape(const ConfigNode& node, int depth = 0)
{
    std::string out;
    for (const auto& child : node.children) {
        out += std::to_string(depth) + "[" + child->key + "]=[" + child->value + "]\n";
        out += shape(*child, depth + 1);
    }
    return out;
}
