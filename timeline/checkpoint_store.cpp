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
    void put(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        raw(&value, sizeof value);
    }
    template <typename T>
    void putAll(const std::vector<T>& values) {
        put(values.size());
        raw(values.data(), values.size() * sizeof(T));
    }
    void putText(const std::string& text) {
        put(text.size());
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
    void get(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        raw(&value, sizeof value);
    }
    template <typename T>
    void getAll(std::vector<T>& values) {
        size_t size = 0;
        get(size);
        values.resize(size);
        raw(values.data(), size * sizeof(T));
    }
    void getText(std::string& text) {
        size_t size = 0;
        get(size);
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

}  // namespace

void serializeSnapshot(const HeadlessSnapshot& s, std::vector<uint8_t>& bytes) {
    Writer out(bytes);
    out.put(s.machine);
    out.put(s.run);
    out.put(s.link);
    out.put(s.console);
    out.put(s.shell);
    out.put(s.now);
    out.put(s.timer);
    out.put(s.board);
    out.putAll(s.canvas.bandY);
    out.putAll(s.canvas.bandExtent);
    out.putAll(s.canvas.cells);
    out.put(s.canvas.open);
    out.put(s.canvas.colour);
    out.put(s.canvas.width);
    out.put(s.canvas.height);
    out.put(s.canvas.resizeCount);
    out.put(s.canvas.drawCount);
    out.put(s.canvas.overflowed);
    out.putText(s.window.title);
    out.put(s.window.created);
    out.put(s.window.destroyed);
    out.put(s.window.quitPosted);
    out.put(s.window.exitCode);
    out.put(s.controlHeld);
    out.put(s.shiftHeld);
    out.put(s.eventsDelivered);
    out.put(s.ticks);
}

void deserializeSnapshot(const std::vector<uint8_t>& bytes, HeadlessSnapshot& s) {
    Reader in(bytes);
    in.get(s.machine);
    in.get(s.run);
    in.get(s.link);
    in.get(s.console);
    in.get(s.shell);
    in.get(s.now);
    in.get(s.timer);
    in.get(s.board);
    in.getAll(s.canvas.bandY);
    in.getAll(s.canvas.bandExtent);
    in.getAll(s.canvas.cells);
    in.get(s.canvas.open);
    in.get(s.canvas.colour);
    in.get(s.canvas.width);
    in.get(s.canvas.height);
    in.get(s.canvas.resizeCount);
    in.get(s.canvas.drawCount);
    in.get(s.canvas.overflowed);
    in.getText(s.window.title);
    in.get(s.window.created);
    in.get(s.window.destroyed);
    in.get(s.window.quitPosted);
    in.get(s.window.exitCode);
    in.get(s.controlHeld);
    in.get(s.shiftHeld);
    in.get(s.eventsDelivered);
    in.get(s.ticks);
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
