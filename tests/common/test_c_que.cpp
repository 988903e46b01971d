#include <gtest/gtest.h>

#include "quorvant/common/c_que.h"

namespace {
struct Item {
    c_que link;
    int value;
};
}  // namespace

TEST(CQue, FifoOrderAndLength) {
    c_que head;
    c_initque(&head);
    EXPECT_EQ(c_quelen(&head), 0);
    EXPECT_EQ(c_deque(&head), nullptr);
    Item a{{}, 1}, b{{}, 2}, c{{}, 3};
    c_enque(&head, &a.link);
    c_enque(&head, &b.link);
    c_enque(&head, &c.link);
    c_que *first = c_deque(&head);
    EXPECT_EQ(reinterpret_cast<Item *>(first)->value, 1);
    EXPECT_EQ(c_quelen(&head), 2);
    EXPECT_EQ(reinterpret_cast<Item *>(c_peekque(&head))->value, 2);
    c_remque(&c.link);
    EXPECT_EQ(c_quelen(&head), 1);
    EXPECT_EQ(c.link.q_forw, &c.link);
}

TEST(CQue, RemqueOfLoneElementLeavesItUnchanged) {
    Item a{{}, 1};
    c_initque(&a.link);
    c_remque(&a.link);
    EXPECT_EQ(a.link.q_forw, &a.link);
    EXPECT_EQ(a.link.q_back, &a.link);
}
