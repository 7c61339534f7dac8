#pragma once

// adb's transport packets: a 24-byte header of six little-endian words, then the payload.

#include <cstdint>
#include <string>
#include <string_view>

namespace phonesim {

namespace command {
constexpr uint32_t cnxn = 0x4e584e43;
constexpr uint32_t auth = 0x48545541;
constexpr uint32_t open = 0x4e45504f;
constexpr uint32_t okay = 0x59414b4f;
constexpr uint32_t clse = 0x45534c43;
constexpr uint32_t wrte = 0x45545257;
} // namespace command

// arg0 of AUTH.
namespace auth {
constexpr uint32_t token = 1;
constexpr uint32_t signature = 2;
constexpr uint32_t rsaPublicKey = 3;
} // namespace auth

constexpr uint32_t protocolVersion = 0x01000001; // "checksum skipped"
constexpr size_t headerSize = 24;

struct Packet {
    uint32_t command = 0;
    uint32_t arg0 = 0;
    uint32_t arg1 = 0;
    std::string data;
};

enum class ParseResult { Incomplete, Ok, Invalid };

std::string encodePacket(uint32_t command, uint32_t arg0, uint32_t arg1, std::string_view data);

// Takes one whole packet off the front of buffer. Invalid means the peer does not speak adb.
ParseResult takePacket(std::string &buffer, Packet &out, size_t maxPayload);

std::string commandName(uint32_t command);

} // namespace phonesim
