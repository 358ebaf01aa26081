// Little-endian integers of the race-server datagrams, read and written byte by byte.
#pragma once

#include <cstdint>

inline uint32_t wire_get32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

inline uint16_t wire_get16(const unsigned char *p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

inline void wire_put32(unsigned char *p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}
