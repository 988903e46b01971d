// Intrusive FIFO queue used by the NDF solver's output list and the matrix index lists.
#include "quorvant/common/c_que.h"

#include <cstdlib>

#include "quorvant/common/logUtil.h"

void c_initque(c_que *q) { q->q_forw = q->q_back = q; }

void c_enque(c_que *head, c_que *e) {
    if (e == head) {
        log_sys("## System Error: In c_enque: element is the queue head.\n");
        std::abort();
    }
    e->q_forw = head;
    e->q_back = head->q_back;
    head->q_back->q_forw = e;
    head->q_back = e;
}

c_que *c_deque(c_que *head) {
    if (head->q_forw == head) return nullptr;
    c_que *e = head->q_forw;
    c_remque(e);
    return e;
}

void c_remque(c_que *e) {
    e->q_back->q_forw = e->q_forw;
    e->q_forw->q_back = e->q_back;
    c_initque(e);
}

c_que *c_peekque(c_que *head) { return head->q_forw == head ? nullptr : head->q_forw; }

int c_quelen(const c_que *head) {
    int n = 0;
    for (const c_que *e = head->q_forw; e != head; e = e->q_forw) ++n;
    return n;
}
