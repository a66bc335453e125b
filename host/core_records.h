// The records that the host core fills in the plug-in's memory, as byte offsets. They are read
// field by field, little-endian, never through a struct whose layout the compiler decides.
#pragma once

#include <stdint.h>
#include <string.h>

const int CORE_PARAM_BLOCK_SIZE = 69206;
const int PARAM_CURRENT_CHANNEL = 74;    // u16 index into the channel table; 0xFFFF: none
const int PARAM_CHANNELS = 82;           // the channel table
const int CHANNEL_ENTRY_SIZE = 538;
const int CHANNEL_TABLE_ENTRIES = 128;   // the entries that lie before the network id
const int PARAM_NETWORK_ID = 69202;      // u16
const int ENTRY_SERVICE_ID = 0;          // u16
const int ENTRY_NAME = 10;               // text; at most 63 bytes are taken
const uint16_t NO_CURRENT_CHANNEL = 0xFFFF;

const int EPG_EVENT_RESULT_SIZE = 52644;
const int EPG_START = 8;                 // u32 seconds since 1970
const int EPG_DURATION = 12;             // u32 seconds
const int EPG_EID = 16;
const int EPG_HAS_TEXT = 20;             // 0: language and the three texts are absent
const int EPG_LANGUAGE = 24;
const int EPG_EVENT_NAME = 28;           // 260 bytes
const int EPG_SHORT_TEXT = 288;          // 260 bytes
const int EPG_LONG_TEXT = 548;           // 511 bytes or more
const int EPG_TEXT_FIELD_SIZE = 260;

inline uint16_t ReadU16(const uint8_t* record, int offset)
{
    return (uint16_t)(record[offset] | record[offset + 1] << 8);
}

inline uint32_t ReadU32(const uint8_t* record, int offset)
{
    return (uint32_t)record[offset] | (uint32_t)record[offset + 1] << 8 | (uint32_t)record[offset + 2] << 16 |
           (uint32_t)record[offset + 3] << 24;
}

inline void WriteU16(uint8_t* record, int offset, uint16_t value)
{
    record[offset] = (uint8_t)value;
    record[offset + 1] = (uint8_t)(value >> 8);
}

inline void WriteU32(uint8_t* record, int offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        record[offset + i] = (uint8_t)(value >> (8 * i));
}

// Copies at most `limit` bytes of a text up to its first NUL and terminates the copy at byte
// `limit` of the destination at the latest.
inline void CopyCoreText(char* destination, const uint8_t* source, int limit)
{
    size_t length = strnlen((const char*)source, (size_t)limit);
    memcpy(destination, source, length);
    memset(destination + length, 0, (size_t)limit + 1 - length);
}
