// Image file writers: PNG with stored deflate blocks (zlib gives only the checksums), the
// program's predictive J6/J7 format, PNM and ".info" side files.
#include <zlib.h>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"

static void datagen_put_be32(std::string *out, unsigned long v) {
    for (int i = 3; i >= 0; i--) out->push_back((char)(v >> (8 * i) & 0xff));
}

static void datagen_png_chunk(std::string *out, const char *type, const std::string &data) {
    datagen_put_be32(out, data.size());
    std::string body = std::string(type, 4) + data;
    out->append(body);
    uLong crc = crc32_z(crc32(0L, Z_NULL, 0), (const Bytef *)body.data(), body.size());
    datagen_put_be32(out, crc);
}

// A zlib stream of stored blocks: header 78 01, the blocks, the Adler-32 big end first.
static std::string datagen_zlib_stored(const std::string &data) {
    std::string out("\x78\x01", 2);
    out += datagen_deflate_stored(data);
    uLong adler = adler32_z(adler32(0L, Z_NULL, 0), (const Bytef *)data.data(), data.size());
    datagen_put_be32(&out, adler);
    return out;
}

// PNG from raw rows (filter byte 0 added here) with the header's depth and colour type.
static std::string datagen_png_rows(int width, int height, int depth, int colour_type,
                                    size_t row_bytes, const unsigned char *rows,
                                    const std::vector<std::pair<std::string, std::string>> &texts,
                                    const std::vector<std::pair<std::string, std::string>> &after) {
    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    datagen_put_be32(&ihdr, (unsigned long)width);
    datagen_put_be32(&ihdr, (unsigned long)height);
    ihdr.push_back((char)depth);
    ihdr.push_back((char)colour_type);
    ihdr.append(3, '\0');  // deflate, adaptive filtering, not interlaced
    datagen_png_chunk(&out, "IHDR", ihdr);
    for (auto &t : texts) datagen_png_chunk(&out, "tEXt", t.first + std::string(1, '\0') + t.second);
    std::string raw;
    raw.reserve((row_bytes + 1) * height);
    for (int y = 0; y < height; y++) {
        raw.push_back('\0');
        raw.append((const char *)rows + row_bytes * y, row_bytes);
    }
    datagen_png_chunk(&out, "IDAT", datagen_zlib_stored(raw));
    for (auto &t : after) datagen_png_chunk(&out, "tEXt", t.first + std::string(1, '\0') + t.second);
    datagen_png_chunk(&out, "IEND", "");
    return out;
}

std::string datagen_png(const datagen_image &img,
                        const std::vector<std::pair<std::string, std::string>> &texts,
                        const std::vector<std::pair<std::string, std::string>> &texts_after) {
    int type = img.channels == 1 ? 0 : img.channels == 3 ? 2 : 6;
    return datagen_png_rows(img.width, img.height, 8, type, (size_t)img.width * img.channels,
                            img.pixels.data(), texts, texts_after);
}

std::string datagen_png_grey16(int width, int height, const std::vector<uint16_t> &samples) {
    std::vector<unsigned char> rows((size_t)width * height * 2);
    for (size_t i = 0; i < (size_t)width * height; i++) {
        rows[2 * i] = (unsigned char)(samples[i] >> 8);
        rows[2 * i + 1] = (unsigned char)(samples[i] & 0xff);
    }
    return datagen_png_rows(width, height, 16, 0, (size_t)width * 2, rows.data(), {}, {});
}

std::string datagen_predictive(const datagen_image &img) {
    int n = img.channels;
    std::string out = std::string(n == 4 ? "J7" : "J6") + "\n" + std::to_string(img.width) + " " +
                      std::to_string(img.height) + "\n";
    auto at = [&](int x, int y, int c) { return (int)img.pixels[((size_t)y * img.width + x) * n + c]; };
    for (int y = 0; y < img.height; y++)
        for (int x = 0; x < img.width; x++)
            for (int c = 0; c < n; c++) {
                int predicted;
                if (x == 0 && y == 0)
                    predicted = 0;
                else if (y == 0)
                    predicted = at(x - 1, y, c);
                else if (x == 0)
                    predicted = at(x, y - 1, c);
                else {
                    predicted = at(x - 1, y, c) + at(x, y - 1, c) - at(x - 1, y - 1, c);
                    predicted = predicted < 0 ? 0 : predicted > 255 ? 255 : predicted;
                }
                out.push_back((char)((at(x, y, c) - predicted) & 0xff));
            }
    return out;
}

std::string datagen_pnm(const char *magic, int width, int height, int maxval,
                        const std::vector<int> &samples, const std::string &comment) {
    std::string out = std::string(magic) + "\n";
    if (!comment.empty()) out += "# " + comment + "\n";
    out += std::to_string(width) + " " + std::to_string(height) + "\n" + std::to_string(maxval) + "\n";
    bool text = magic[1] == '2' || magic[1] == '3';
    for (size_t i = 0; i < samples.size(); i++) {
        int v = samples[i];
        if (text) {
            out += std::to_string(v);
            out += (i + 1) % 12 == 0 ? "\n" : " ";
        } else if (maxval > 255) {
            out.push_back((char)(v >> 8 & 0xff));
            out.push_back((char)(v & 0xff));
        } else {
            out.push_back((char)(v & 0xff));
        }
    }
    return out;
}

std::string datagen_info_file(const std::vector<std::string> &tags) {
    std::string out;
    for (const std::string &t : tags) out += t + "\n";
    return out;
}
