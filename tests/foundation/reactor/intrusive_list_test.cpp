#include "foundation/reactor/intrusive_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Item : F_dual_list_item<Item> {
    int key = 0;
    int id = 0;
    int compare(const Item* other) const { return key - other->key; }
};

std::vector<int> ids(const F_dual_list<Item>& list)
{
    std::vector<int> out;
    for (Item* it = list.head(); it; it = F_dual_list<Item>::next(it))
        out.push_back(it->id);
    return out;
}

TEST(IntrusiveList, LinksUnlinksAndExchanges)
{
    Item items[4];
    for (int i = 0; i < 4; ++i)
        items[i].id = i;
    F_dual_list<Item> list;
    list.init(items, 3);
    EXPECT_EQ(ids(list), (std::vector<int>{0, 1, 2}));
    list.remove(&items[1]);
    list.insert_to_head(&items[3]);
    list.insert_after(&items[2], &items[1]);
    EXPECT_EQ(ids(list), (std::vector<int>{3, 0, 2, 1}));
    EXPECT_EQ(list.tail(), &items[1]);
    EXPECT_EQ(list.remove_from_head(), &items[3]);
    EXPECT_EQ(list.size(), 3u);

    F_dual_list<Item> other;
    list.merge(other);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(ids(other), (std::vector<int>{0, 2, 1}));
    EXPECT_TRUE(other.contains(&items[2]));
    EXPECT_FALSE(other.contains(&items[3]));
}

TEST(IntrusiveList, SortedInsertKeepsEqualKeysInInsertionOrder)
{
    Item items[5];
    int keys[] = {20, 10, 20, 5, 30};
    F_sorted_list<Item> list;
    for (int i = 0; i < 5; ++i) {
        items[i].id = i;
        items[i].key = keys[i];
        list.insert_to_tail_by_grown(&items[i]);
    }
    EXPECT_EQ(ids(list), (std::vector<int>{3, 1, 0, 2, 4}));
    EXPECT_EQ(list.count(), 5u);
}

}  // namespace
