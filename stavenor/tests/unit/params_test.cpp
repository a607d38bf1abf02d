#include "include/params.h"

#include <gtest/gtest.h>

TEST(Params, LookupsByNameAndIndex)
{
    param_list list;
    init_params(list);
    EXPECT_EQ(add_param(list, "", std::string("x"), PARAM_GET), nullptr);
    add_param(list, "a", std::string("1"), PARAM_GET);
    add_param(list, "bare", std::nullopt, PARAM_GET);
    add_param(list, "a", std::string("2"), PARAM_GET);
    ASSERT_EQ(param_count(list), 3);

    EXPECT_EQ(*get_param(list, "a"), "1"); // the first of one name wins
    EXPECT_EQ(get_param(list, "bare"), nullptr);
    EXPECT_NE(find_param(list, "bare"), nullptr); // present without a value
    EXPECT_EQ(find_param(list, "missing"), nullptr);
    EXPECT_EQ(find_param(list, "A"), nullptr);

    EXPECT_EQ(*param_name_at(list, 2), "a");
    EXPECT_EQ(*param_value_at(list, 2), "2");
    EXPECT_EQ(param_name_at(list, 3), nullptr);
    EXPECT_EQ(param_name_at(list, -1), nullptr);
    EXPECT_EQ(param_value_at(list, 1), nullptr);

    free_params(list);
    EXPECT_EQ(param_count(list), 0);
}
