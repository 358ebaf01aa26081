// Stored-deflate gzip (zlib supplies only the CRC-32, so the bytes never depend on its
// version), little-endian values and the generator's number layout.
#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "tools/zrdatagen/datagen.h"

void datagen_put_le16(std::string *out, unsigned v) {
    out->push_back((char)(v & 0xff));
    out->push_back((char)(v >> 8 & 0xff));
}

void datagen_put_le32(std::string *out, unsigned long v) {
    for (int i = 0; i < 4; i++) out->push_back((char)(v >> (8 * i) & 0xff));
}

std::string datagen_deflate_stored(const std::string &data) {
    std::string out;
    size_t at = 0;
    do {
        size_t n = data.size() - at < 65535 ? data.size() - at : 65535;
        bool last = at + n == data.size();
        out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00; the rest of the byte is padding
        datagen_put_le16(&out, (unsigned)n);
        datagen_put_le16(&out, (unsigned)(~n & 0xffff));
        out.append(data, at, n);
        at += n;
    } while (at < data.size());
    return out;
}

std::string datagen_gzip(const std::string &data) {
    // Magic, method 8, no flags, time 0, no extra flags, operating system 3 (Unix).
    std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    out += datagen_deflate_stored(data);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32_z(crc, (const Bytef *)data.data(), data.size());
    datagen_put_le32(&out, crc);
    datagen_put_le32(&out, (unsigned long)(data.size() & 0xffffffffu));
    return out;
}

std::string datagen_decimal(double v) {
    char text[64];
    snprintf(text, sizeof text, "%.6f", v);
    if (strcmp(text, "-0.000000") == 0) return "0.000000";
    return text;
}
