// libFuzzer target for the configuration reader: any input either reads or fails with a reader
// code, and what reads (when it can be written at all) writes back to a text that reads to the
// same tree.
#include "tree/config_node.h"
#include "../tree_shape.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader reports errors on stderr; the sanitizers write to the descriptor itself.
    if (FILE* sink = fopen("/dev/null", "w")) stderr = sink;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ConfigNode root;
    int line = -1;
    int result = root.loadFromText(std::string_view(reinterpret_cast<const char*>(data), size), &line);
    if (result != ConfigNode::kRead && result != ConfigNode::kKeyUnclosed && result != ConfigNode::kValueUnclosed &&
        result != ConfigNode::kDepthJump)
        abort();
    if (result != ConfigNode::kRead && line <= 0) abort();

    int saved = 0;
    std::string text = root.saveToText(&saved);
    if (saved == ConfigNode::kUnwritable) return 0;
    ConfigNode back;
    if (back.loadFromText(text) != ConfigNode::kRead) abort();
    if (shape(back) != shape(root)) abort();
    return 0;
}
