#include "packet.h"

#include "../common/wire.h"

namespace phonesim {

std::string encodePacket(uint32_t command, uint32_t arg0, uint32_t arg1, std::string_view data)
{
    // adb 29 ignores the checksum but older hosts verify it, so it is always filled in.
    uint32_t sum = 0;
    for (unsigned char c : data)
        sum += c;
    std::string out;
    out.reserve(headerSize + data.size());
    putU32(out, command);
    putU32(out, arg0);
    putU32(out, arg1);
    putU32(out, uint32_t(data.size()));
    putU32(out, sum);
    putU32(out, command ^ 0xffffffffu);
    out.append(data);
    return out;
}

ParseResult takePacket(std::string &buffer, Packet &out, size_t maxPayload)
{
    if (buffer.size() < headerSize)
        return ParseResult::Incomplete;
    const char *p = buffer.data();
    uint32_t cmd = getU32(p);
    uint32_t length = getU32(p + 12);
    if (getU32(p + 20) != (cmd ^ 0xffffffffu) || length > maxPayload)
        return ParseResult::Invalid;
    if (buffer.size() < headerSize + length)
        return ParseResult::Incomplete;
    out.command = cmd;
    out.arg0 = getU32(p + 4);
    out.arg1 = getU32(p + 8);
    out.data.assign(buffer, headerSize, length);
    buffer.erase(0, headerSize + length);
    return ParseResult::Ok;
}

std::string commandName(uint32_t command)
{
    std::string name;
    for (int i = 0; i < 4; ++i) {
        char c = char((command >> (8 * i)) & 0xff);
        name.push_back(c >= 32 && c < 127 ? c : '?');
    }
    return name;
}

} // namespace phonesim
