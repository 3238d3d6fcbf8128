// Splits a fuzz input into choices and strings: choices are taken from the end, strings from the
// front, so that mutating one part disturbs the other little. Once the bytes run out every choice
// is its lowest value. (libFuzzer's own FuzzedDataProvider works the same way, but the corpus
// replay is built by compilers that do not ship it.)
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kt57::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_; }

    // A value in [low, high], from as few bytes as the range needs.
    template <typename T>
    T range(T low, T high) {
        const uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);
        uint64_t value = 0;
        for (uint64_t reach = 0; (span >> reach) != 0 && reach < 64 && size_ > 0; reach += 8) {
            value = (value << 8) | data_[--size_];
        }
        if (span != UINT64_MAX) value %= span + 1;
        return static_cast<T>(static_cast<uint64_t>(low) + value);
    }
    bool flag() { return (range<uint8_t>(0, 255) & 1) != 0; }
    template <typename T>
    T any() {
        return range<T>(0, static_cast<T>(~T{0}));
    }
    // Bytes from the front up to a 0xFF byte (not included) or maxLength bytes.
    std::string text(size_t maxLength) {
        std::string out;
        while (size_ > 0 && out.size() < maxLength) {
            const uint8_t byte = *data_++;
            --size_;
            if (byte == 0xFF) break;
            out.push_back(static_cast<char>(byte));
        }
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

}  // namespace kt57::fuzz
