// The key ring. Sixteen slots with one always free, so equal indices mean
// empty; a full ring gives up its oldest key rather than the new one.
#include "core/key_queue.h"

namespace {
constexpr int slot_count = 16;
}

void push_key(KeyQueue& queue, std::int32_t code) {
    queue.slots[static_cast<std::size_t>(queue.write_index)] = code;
    queue.write_index = (queue.write_index + 1) % slot_count;
    if (queue.write_index == queue.read_index) queue.read_index = (queue.read_index + 1) % slot_count;
}

bool take_key(KeyQueue& queue, std::int32_t& code) {
    if (queue.read_index == queue.write_index) return false;
    code = queue.slots[static_cast<std::size_t>(queue.read_index)];
    queue.read_index = (queue.read_index + 1) % slot_count;
    return true;
}

std::string encode_key(std::int32_t code) {
    if (code >= 1 && code <= 255) return std::string(1, static_cast<char>(code));
    if ((code & 0xFF) == 0xFF && code > 255 && code <= 255 * 256 + 255) {
        return std::string{static_cast<char>(0xFF), static_cast<char>(code >> 8)};
    }
    return {};
}
