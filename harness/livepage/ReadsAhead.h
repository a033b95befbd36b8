#pragma once
// Reads answered ahead, keyed by page handle and read key, in one table with
// open addressing. A walk notes thousands of them and they are all dropped
// at once, at every change of the page and at the end of every task: here
// dropping only starts a new generation of the table, which costs nothing
// per entry, and entries are not allocated one by one.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace harness::live {

template <class Value>
class ReadsAhead
{
public:
    // The entry of (remote, key): the one there is, or a new one holding
    // Value{}.
    Value& Put(long long remote, int key)
    {
        if ((size_ + 1) * 2 > slots_.size())
            Grow();
        Slot& slot = slots_[IndexOf(remote, key)];
        if (slot.generation != generation_) {
            slot = Slot{remote, key, generation_, Value{}};
            ++size_;
        }
        return slot.value;
    }

    // The entry of (remote, key), or null.
    const Value* Find(long long remote, int key) const
    {
        if (size_ == 0)
            return nullptr;
        const Slot& slot = slots_[IndexOf(remote, key)];
        return slot.generation == generation_ ? &slot.value : nullptr;
    }

    // Drops every entry.
    void Clear()
    {
        if (size_ == 0)
            return;
        size_ = 0;
        if (++generation_ == 0) { // wrapped: slots of generation 1 would come back
            for (Slot& slot : slots_)
                slot.generation = 0;
            generation_ = 1;
        }
    }

    size_t Size() const { return size_; }

private:
    struct Slot
    {
        long long remote = 0;
        int key = 0;
        uint32_t generation = 0; // the entry is there when it is the table's
        Value value{};
    };

    // The slot of (remote, key), or the empty slot where it would go. The
    // table is at most half full, so a free slot is always found.
    size_t IndexOf(long long remote, int key) const
    {
        const size_t mask = slots_.size() - 1;
        for (size_t i = Hash(remote, key) & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.generation != generation_ || (slot.remote == remote && slot.key == key))
                return i;
        }
    }

    // Keys come in groups of 16. The reads of one group of a handle lie side
    // by side, and handles follow each other in the order of their numbers:
    // the page numbers handles in document order, and a walk notes and reads
    // them in about that order, so it goes through the table from one end to
    // the other instead of all over it. Each group starts somewhere else, so
    // that the many keys of one handle (a collection's items) make no long
    // run for the handles after it to step over.
    static size_t Hash(long long remote, int key)
    {
        const uint64_t k = static_cast<uint32_t>(key);
        return static_cast<size_t>((static_cast<uint64_t>(remote) + (k >> 4) * 0x9E3779B97F4A7C15ull) * 16 + (k & 15));
    }

    void Grow()
    {
        std::vector<Slot> old(slots_.empty() ? 0 : slots_.size() * 2);
        old.swap(slots_);
        if (slots_.empty())
            slots_.resize(1024);
        const uint32_t current = generation_;
        size_ = 0;
        generation_ = 1;
        for (Slot& slot : old) {
            if (slot.generation != current)
                continue;
            slots_[IndexOf(slot.remote, slot.key)] = Slot{slot.remote, slot.key, generation_, slot.value};
            ++size_;
        }
    }

    std::vector<Slot> slots_;
    uint32_t generation_ = 1;
    size_t size_ = 0;
};

} // namespace harness::live
