#include "playback/FrameList.h"

#include <cassert>
#include <utility>

void CFrameList::RemoveAll() {
    for (Node* node = m_head; node != nullptr;) {
        Node* next = node->next;
        delete node;
        node = next;
    }
    m_head = m_tail = nullptr;
    m_count = 0;
}

POSITION CFrameList::AddHead(CFrameEntry entry) {
    return InsertBefore(m_head, std::move(entry));
}

POSITION CFrameList::AddTail(CFrameEntry entry) {
    Node* node = new Node{std::move(entry), m_tail, nullptr};
    if (m_tail) {
        m_tail->next = node;
    } else {
        m_head = node;
    }
    m_tail = node;
    ++m_count;
    return node;
}

POSITION CFrameList::InsertBefore(POSITION pos, CFrameEntry entry) {
    if (pos == nullptr) pos = m_head;
    if (pos == nullptr) return AddTail(std::move(entry));
    Node* node = new Node{std::move(entry), pos->prev, pos};
    if (pos->prev) {
        pos->prev->next = node;
    } else {
        m_head = node;
    }
    pos->prev = node;
    ++m_count;
    return node;
}

POSITION CFrameList::Next(POSITION pos) {
    return pos ? pos->next : nullptr;
}

POSITION CFrameList::Prev(POSITION pos) {
    return pos ? pos->prev : nullptr;
}

const CFrameEntry& CFrameList::GetAt(POSITION pos) {
    assert(pos != nullptr);
    return pos->entry;
}

void CFrameList::InsertSorted(CFrameEntry entry) {
    // Walking back from the tail gives the same place as the first strictly greater key from
    // the head, and costs nothing for entries that arrive in order.
    Node* after = m_tail;
    while (after != nullptr && after->entry.nKey > entry.nKey) after = after->prev;
    if (after == nullptr) {
        AddHead(std::move(entry));
    } else if (after->next == nullptr) {
        AddTail(std::move(entry));
    } else {
        InsertBefore(after->next, std::move(entry));
    }
}
