// The frame list: an ordered, doubly linked list of frame files with stable positions.
#pragma once

#include <cstddef>

#include "platform/Types.h"

struct CFrameEntry {
    CString strPath;   // full path of the frame file
    int32_t nKey = 0;  // number in the name (sort 1) or creation time (sort 2); unused in sort 0
};

class CFrameList {
    struct Node;

public:
    // A stable handle to one entry; nullptr is "no entry".
    using POSITION = Node*;

    CFrameList() = default;
    ~CFrameList() { RemoveAll(); }
    CFrameList(const CFrameList&) = delete;
    CFrameList& operator=(const CFrameList&) = delete;

    void RemoveAll();
    POSITION AddHead(CFrameEntry entry);
    POSITION AddTail(CFrameEntry entry);
    POSITION InsertBefore(POSITION pos, CFrameEntry entry);  // at the head when pos is null

    POSITION GetHeadPosition() const { return m_head; }
    POSITION GetTailPosition() const { return m_tail; }
    // Neighbours of pos; nullptr past either end, and for a null pos.
    static POSITION Next(POSITION pos);
    static POSITION Prev(POSITION pos);
    static const CFrameEntry& GetAt(POSITION pos);
    int32_t GetCount() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }

    // Inserts in ascending key order after every entry with an equal key, so equal keys keep
    // the order they came in.
    void InsertSorted(CFrameEntry entry);

private:
    struct Node {
        CFrameEntry entry;
        Node* prev = nullptr;
        Node* next = nullptr;
    };
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    int32_t m_count = 0;
};

using POSITION = CFrameList::POSITION;
