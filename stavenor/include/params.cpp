#include "include/params.h"

void init_params(param_list& list) { list.items.clear(); }

request_param* add_param(param_list& list, const std::string& name, const std::optional<std::string>& value,
                         param_kind kind)
{
    if (name.empty()) return nullptr;
    auto item = std::make_unique<request_param>();
    item->name = name;
    item->value = value;
    item->kind = kind;
    list.items.push_back(std::move(item));
    return list.items.back().get();
}

request_param* find_param(const param_list& list, const std::string& name)
{
    for (const auto& item : list.items)
        if (item->name == name) return item.get();
    return nullptr;
}

const std::string* get_param(const param_list& list, const std::string& name)
{
    const request_param* item = find_param(list, name);
    return item && item->value ? &*item->value : nullptr;
}

static const request_param* item_at(const param_list& list, int index)
{
    return index >= 0 && index < param_count(list) ? list.items[static_cast<size_t>(index)].get() : nullptr;
}

const std::string* param_name_at(const param_list& list, int index)
{
    const request_param* item = item_at(list, index);
    return item ? &item->name : nullptr;
}

const std::string* param_value_at(const param_list& list, int index)
{
    const request_param* item = item_at(list, index);
    return item && item->value ? &*item->value : nullptr;
}

int param_count(const param_list& list) { return static_cast<int>(list.items.size()); }

void free_params(param_list& list) { list.items.clear(); }
