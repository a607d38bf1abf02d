// The parameters of one request: GET arguments, or POST fields and uploaded files.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum param_kind { PARAM_POST = 1, PARAM_GET = 2 };

struct request_param {
    std::string name;                        // never empty
    std::optional<std::string> value;        // none for a bare GET key and for file fields
    param_kind kind = PARAM_GET;
    std::optional<std::string> upload_path;  // file fields: where the bytes are in the temporary directory
    std::optional<std::string> content_type; // file fields: as the client sent it
    int64_t size = 0;                        // POST items: bytes received
};

struct param_list {
    std::vector<std::unique_ptr<request_param>> items;
};

void init_params(param_list& list);
// Returns the new item, or none for an empty name.
request_param* add_param(param_list& list, const std::string& name, const std::optional<std::string>& value,
                         param_kind kind);
request_param* find_param(const param_list& list, const std::string& name);
// The value of the first item of that name; none also when that item has no value.
const std::string* get_param(const param_list& list, const std::string& name);
const std::string* param_name_at(const param_list& list, int index);
const std::string* param_value_at(const param_list& list, int index);
int param_count(const param_list& list);
void free_params(param_list& list);
