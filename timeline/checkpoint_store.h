// The timeline's checkpoints, kept small. Each is its snapshot's bytes: every keyframeInterval-th one
// whole, the others as their difference from the last whole one (runs of equal bytes skipped,
// changed bytes kept). Between two nearby moments little changes: the registers, a few screen
// rows, the board's queues. Loading one decodes its whole one and one difference.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/headless/headless_snapshot.h"

namespace kt57 {

class CheckpointStore {
public:
    explicit CheckpointStore(size_t keyframeInterval = 32) : keyframeInterval_(keyframeInterval < 1 ? 1 : keyframeInterval) {}

    // Positions must grow from one append to the next.
    void append(uint32_t position, const HeadlessSnapshot& snapshot);
    size_t size() const { return entries_.size(); }
    uint32_t position(size_t index) const { return entries_[index].position; }
    // The last checkpoint at or before position (the first is at 0, so there always is one).
    size_t latestAtOrBefore(uint32_t position) const;
    void load(size_t index, HeadlessSnapshot& snapshot) const;
    // Drops every other checkpoint (the first stays), re-encoding the rest.
    void keepEveryOther();
    // Bytes held, capacity included.
    size_t bytes() const;

private:
    struct Entry {
        uint32_t position = 0;
        uint32_t keyframe = 0;  // the entry holding the whole bytes this one differs from
        bool whole = false;
        std::vector<uint8_t> data;
    };

    size_t keyframeInterval_;
    std::vector<Entry> entries_;
    std::vector<uint8_t> keyframeBytes_;  // the last whole one's bytes, to encode against
    std::vector<uint8_t> encoded_;        // scratch: the snapshot being appended
    mutable std::vector<uint8_t> decoded_;
};

// A snapshot as bytes and back: the fixed-size records as they lie in memory, the rest length-prefixed.
void serializeSnapshot(const HeadlessSnapshot& snapshot, std::vector<uint8_t>& bytes);
void deserializeSnapshot(const std::vector<uint8_t>& bytes, HeadlessSnapshot& snapshot);

}  // namespace kt57
