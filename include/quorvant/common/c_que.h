// Intrusive, circular, doubly linked FIFO queue: a queued record carries its c_que link as its first member.
#ifndef QUORVANT_COMMON_C_QUE_H
#define QUORVANT_COMMON_C_QUE_H

struct c_que {
    c_que *q_forw;   // next element (for the head: the first element)
    c_que *q_back;   // previous element (for the head: the last element)
};

void c_initque(c_que *q);
void c_enque(c_que *head, c_que *e);
c_que *c_deque(c_que *head);
void c_remque(c_que *e);
c_que *c_peekque(c_que *head);
int c_quelen(const c_que *head);

#endif
