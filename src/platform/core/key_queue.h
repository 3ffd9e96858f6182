// The ring of typed keys: 16 slots, at most 15 keys; a key arriving at a full
// queue pushes out the oldest. Pure code; callers hold the display lock.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct KeyQueue {
    std::array<std::int32_t, 16> slots{};
    int write_index = 0;
    int read_index = 0;
};

void push_key(KeyQueue& queue, std::int32_t code);

// Takes the oldest key; false when the queue is empty.
bool take_key(KeyQueue& queue, std::int32_t& code);

// The string read_key returns for a code: "" for 0, one byte for 1..255,
// byte 255 then b for b * 256 + 255.
std::string encode_key(std::int32_t code);
