// libFuzzer target: the game record reader, and a replay of whatever it accepts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    GameRecord record;
    std::string error;
    if (!readRecord(data, size, record, error)) {
        if (error.empty()) __builtin_trap();   // a refusal always says why
        return 0;
    }
    if (writeRecord(record) != std::string(reinterpret_cast<const char *>(data), size)) __builtin_trap();
    // Length is the server's limit to set; here it only keeps each run short.
    if (record.frames <= 20000) replayRecord(record);
    return 0;
}
