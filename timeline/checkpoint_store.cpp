#include "timeline/checkpoint_store.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

namespace kt57 {

namespace {

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : out_(out) { out_.clear(); }
    template <typename T>
    void field(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        raw(&value, sizeof value);
    }
    template <typename T>
    void all(const std::vector<T>& values) {
        field(values.size());
        raw(values.data(), values.size() * sizeof(T));
    }
    void text(const std::string& text) {
        field(text.size());
        raw(text.data(), text.size());
    }

private:
    void raw(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), bytes, bytes + size);
    }
    std::vector<uint8_t>& out_;
};

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& in) : in_(in) {}
    template <typename T>
    void field(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        raw(&value, sizeof value);
    }
    template <typename T>
    void all(std::vector<T>& values) {
        size_t size = 0;
        field(size);
        values.resize(size);
        raw(values.data(), size * sizeof(T));
    }
    void text(std::string& text) {
        size_t size = 0;
        field(size);
        text.resize(size);
        raw(text.data(), size);
    }

private:
    void raw(void* data, size_t size) {
        if (size == 0) return;
        std::memcpy(data, in_.data() + at_, size);
        at_ += size;
    }
    const std::vector<uint8_t>& in_;
    size_t at_ = 0;
};

// A difference: (equal run, changed run, changed bytes) triples over the shorter of the two, then
// the target's length and its bytes past the base's end. Run lengths are varints.
void putVarint(std::vector<uint8_t>& out, size_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

size_t getVarint(const uint8_t*& at) {
    size_t value = 0;
    for (int shift = 0;; shift += 7) {
        const uint8_t byte = *at++;
        value |= static_cast<size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return value;
    }
}

void encodeDifference(const std::vector<uint8_t>& base, const std::vector<uint8_t>& target, std::vector<uint8_t>& out) {
    out.clear();
    putVarint(out, target.size());
    const size_t common = std::min(base.size(), target.size());
    size_t at = 0;
    while (at < common) {
        size_t equal = at;
        while (equal < common && base[equal] == target[equal]) ++equal;
        size_t changed = equal;
        // A changed run ends at four equal bytes in a row: shorter gaps cost less kept than skipped.
        while (changed < common) {
            if (base[changed] != target[changed]) {
                ++changed;
                continue;
            }
            size_t same = changed;
            while (same < common && same - changed < 4 && base[same] == target[same]) ++same;
            if (same - changed >= 4 || same == common) break;
            changed = same;
        }
        putVarint(out, equal - at);
        putVarint(out, changed - equal);
        out.insert(out.end(), target.begin() + static_cast<std::ptrdiff_t>(equal),
                   target.begin() + static_cast<std::ptrdiff_t>(changed));
        at = changed;
    }
    if (target.size() > common) out.insert(out.end(), target.begin() + static_cast<std::ptrdiff_t>(common), target.end());
}

void applyDifference(const std::vector<uint8_t>& base, const std::vector<uint8_t>& difference, std::vector<uint8_t>& out) {
    const uint8_t* at = difference.data();
    const uint8_t* const end = at + difference.size();
    const size_t size = getVarint(at);
    out.resize(size);
    const size_t common = std::min(base.size(), size);
    std::memcpy(out.data(), base.data(), common);
    size_t written = 0;
    while (written < common) {
        written += getVarint(at);
        const size_t changed = getVarint(at);
        std::memcpy(out.data() + written, at, changed);
        at += changed;
        written += changed;
    }
    if (size > common) std::memcpy(out.data() + common, at, static_cast<size_t>(end - at));
}


// The one list of what a snapshot holds, for writing and reading alike: io is a Writer over a
// const snapshot or a Reader over one to fill.
template <typename Io, typename Snapshot>
void transfer(Io& io, Snapshot& s) {
    io.field(s.machine);
    io.field(s.run);
    io.field(s.link);
    io.field(s.console);
    io.field(s.shell);
    io.field(s.now);
    io.field(s.timer);
    io.field(s.board);
    io.all(s.canvas.bandY);
    io.all(s.canvas.bandExtent);
    io.all(s.canvas.cells);
    io.field(s.canvas.open);
    io.field(s.canvas.colour);
    io.field(s.canvas.width);
    io.field(s.canvas.height);
    io.field(s.canvas.resizeCount);
    io.field(s.canvas.drawCount);
    io.field(s.canvas.overflowed);
    io.text(s.window.title);
    io.field(s.window.created);
    io.field(s.window.destroyed);
    io.field(s.window.quitPosted);
    io.field(s.window.exitCode);
    io.field(s.controlHeld);
    io.field(s.shiftHeld);
    io.field(s.eventsDelivered);
    io.field(s.ticks);
}

}  // namespace

void serializeSnapshot(const HeadlessSnapshot& snapshot, std::vector<uint8_t>& bytes) {
    Writer out(bytes);
    transfer(out, snapshot);
}

void deserializeSnapshot(const std::vector<uint8_t>& bytes, HeadlessSnapshot& snapshot) {
    Reader in(bytes);
    transfer(in, snapshot);
}

void CheckpointStore::append(uint32_t position, const HeadlessSnapshot& snapshot) {
    Entry entry;
    entry.position = position;
    if (entries_.size() % keyframeInterval_ == 0) {
        serializeSnapshot(snapshot, keyframeBytes_);
        entry.whole = true;
        entry.keyframe = static_cast<uint32_t>(entries_.size());
        entry.data = keyframeBytes_;
    } else {
        serializeSnapshot(snapshot, encoded_);
        entry.keyframe = entries_.back().keyframe;
        encodeDifference(keyframeBytes_, encoded_, entry.data);
        entry.data.shrink_to_fit();
    }
    entries_.push_back(std::move(entry));
}

size_t CheckpointStore::latestAtOrBefore(uint32_t position) const {
    const auto after = std::upper_bound(entries_.begin(), entries_.end(), position,
                                        [](uint32_t p, const Entry& entry) { return p < entry.position; });
    return after == entries_.begin() ? 0 : static_cast<size_t>(after - entries_.begin() - 1);
}

void CheckpointStore::load(size_t index, HeadlessSnapshot& snapshot) const {
    const Entry& entry = entries_[index];
    if (entry.whole) {
        deserializeSnapshot(entry.data, snapshot);
        return;
    }
    applyDifference(entries_[entry.keyframe].data, entry.data, decoded_);
    deserializeSnapshot(decoded_, snapshot);
}

void CheckpointStore::keepEveryOther() {
    CheckpointStore kept(keyframeInterval_);
    HeadlessSnapshot snapshot;
    for (size_t index = 0; index < entries_.size(); index += 2) {
        load(index, snapshot);
        kept.append(entries_[index].position, snapshot);
    }
    entries_ = std::move(kept.entries_);
    keyframeBytes_ = std::move(kept.keyframeBytes_);
}

size_t CheckpointStore::bytes() const {
    size_t total = entries_.capacity() * sizeof(Entry) + keyframeBytes_.capacity() + encoded_.capacity() +
                   decoded_.capacity();
    for (const Entry& entry : entries_) total += entry.data.capacity();
    return total;
}

}  // namespace kt57
