// The fake race server's track hash, from the stock archive's members read directly (never
// through the game's file index or track loader), in the order the game hashes a loaded track.
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/digest.h"
#include "tests/support/fake_race_server.h"

namespace {

// The archive: "SIZE name\n" lines up to "-\n", then the members' bytes in that order.
struct stock_archive {
    std::map<std::string, std::string> members;
};

std::string read_whole(const std::string &path) {
    std::string bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

int archive_read(stock_archive *a, const std::string &path) {
    std::string bytes = read_whole(path);
    std::vector<std::pair<std::string, size_t>> heads;
    size_t at = 0;
    for (;;) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos) return 0;
        std::string line = bytes.substr(at, end - at);
        at = end + 1;
        if (line == "-") break;
        size_t space = line.find(' ');
        if (space == std::string::npos) return 0;
        heads.push_back({line.substr(space + 1), strtoul(line.c_str(), nullptr, 10)});
    }
    for (auto &h : heads) {
        if (h.second > bytes.size() - at) return 0;
        a->members[h.first] = bytes.substr(at, h.second);
        at += h.second;
    }
    return 1;
}

std::string gunzip(const std::string &in) {
    z_stream z = {};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return "";
    z.next_in = (Bytef *)in.data();
    z.avail_in = (uInt)in.size();
    std::string out;
    char buffer[65536];
    int r;
    do {
        z.next_out = (Bytef *)buffer;
        z.avail_out = sizeof buffer;
        r = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    } while (r == Z_OK);
    inflateEnd(&z);
    return out;
}

// A '@' name's bytes: the member, else its ".gz" member inflated; "" when neither exists.
std::string member(const stock_archive &a, const std::string &name) {
    std::string key = name[0] == '@' ? name.substr(1) : name;
    auto it = a.members.find(key);
    if (it != a.members.end()) return it->second;
    it = a.members.find(key + ".gz");
    return it != a.members.end() ? gunzip(it->second) : "";
}

bool finite4(const float *v) {
    for (int i = 0; i < 4; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

// The shapes of the start gates: the lines after a leading "startinggate:" word, up to
// "checkpoints:" or the first line that is no gate; the default shape unless the line names one.
void gate_shapes(const std::string &text, std::vector<std::string> *shapes) {
    char word[81] = "";
    int used = 0;
    if (sscanf(text.c_str(), " %80s%n", word, &used) != 1 || strcmp(word, "startinggate:") != 0)
        return;
    size_t at = text.find('\n', (size_t)used);
    int count = 0;
    while (at != std::string::npos && at + 1 < text.size()) {
        size_t end = text.find('\n', at + 1);
        std::string line = text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        at = end;
        char first[81] = "";
        if (sscanf(line.c_str(), " %80s", first) == 1 && strcmp(first, "checkpoints:") == 0) return;
        float v[4];
        char names[3][1024];
        int got = sscanf(line.c_str(), " [ %f %f %f ] %f %1023s %1023s %1023s", &v[0], &v[1], &v[2],
                         &v[3], names[0], names[1], names[2]);
        if (got < 4 || !finite4(v)) return;
        if (count++ >= 160) continue;
        if (got <= 6) shapes->push_back("@startgate.shp");
        else if (strcmp(names[2], "null") != 0) shapes->push_back(names[2]);
    }
}

// The shapes of the statues file's rows ("null": none; rows with a number not finite skipped).
void statue_shapes(const std::string &text, std::vector<std::string> *shapes) {
    const char *p = text.c_str();
    float v[4];
    char model[1024], texture[1024], shape[1024];
    int used = 0, rows = 0;
    while (rows < 65536 && sscanf(p, " [ %f %f %f ] %f %1023s %1023s %1023s%n", &v[0], &v[1], &v[2],
                                  &v[3], model, texture, shape, &used) == 7) {
        p += used;
        rows++;
        if (finite4(v) && strcmp(shape, "null") != 0) shapes->push_back(shape);
    }
}

std::string archive_path() {
    const char *home = getenv("ZR_HOME");
    if (home && *home) return std::string(home) + "/zzzz.saf";
    const char *build = getenv("ZR_BINARY_DIR");
    if (build && *build) return std::string(build) + "/game/zzzz.saf";
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "zzzz.saf";
    exe[n] = 0;
    std::string dir(exe);
    dir.resize(dir.rfind('/'));
    return dir + "/../game/zzzz.saf";
}

}  // namespace

int fake_track_hash(const char *track, uint8_t hash[20]) {
    stock_archive a;
    if (!archive_read(&a, archive_path())) return 0;
    std::string folder = std::string("@") + track + "/";
    if (member(a, folder + "terrain.hf").empty()) return 0;
    ripemd160_state d;
    ripemd160_init(&d);
    auto feed = [&d](const std::string &bytes) { ripemd160_update(&d, bytes.data(), bytes.size()); };
    for (const char *file : {"terrain.hf", "terrain.png", "texturelist", "tilemap", "tileinfo"})
        feed(member(a, folder + file));
    std::string gates = member(a, folder + "timing_gates");
    std::string statues = member(a, folder + "statues");
    feed(gates);
    feed(statues);
    std::vector<std::string> shapes, distinct;
    gate_shapes(gates, &shapes);
    statue_shapes(statues, &shapes);
    for (const std::string &shape : shapes) {
        bool seen = false;
        for (const std::string &d2 : distinct) seen = seen || d2 == shape;
        if (seen) continue;
        distinct.push_back(shape);
        feed(member(a, shape));
    }
    ripemd160_final(&d);
    memcpy(hash, d.digest, 20);
    return 1;
}
