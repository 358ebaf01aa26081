// Splits a ".saf" archive ("<size> <name>" lines, "-", then the data back to back) into seed
// folders, one per fuzz target, by the kind of each member: fuzz_seed_split ARCHIVE OUT.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static bool ends_with(const std::string &s, const char *tail) {
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

static bool base_is(const std::string &s, const char *base) {
    return s == base || ends_with(s, (std::string("/") + base).c_str());
}

// The targets a member seeds.
static std::vector<std::string> targets_of(const std::string &name) {
    std::vector<std::string> t;
    if (ends_with(name, ".gz")) t.push_back("gzip");
    if (ends_with(name, ".png")) {
        t.insert(t.end(), {"png", "texture"});
        if (base_is(name, "font.png") || name.find("numbers") != std::string::npos) t.push_back("font");
    }
    if (ends_with(name, ".ppm") || ends_with(name, ".pgm")) t.insert(t.end(), {"pnm", "texture"});
    if (ends_with(name, ".seq")) t.push_back("texture");
    if (ends_with(name, ".jm")) t.push_back("jm");
    if (ends_with(name, ".shp")) t.push_back("shape");
    if (ends_with(name, ".series")) t.push_back("series");
    if (base_is(name, "tileinfo")) t.push_back("tileinfo");
    if (base_is(name, "texturelist")) t.push_back("texturelist");
    if (base_is(name, "terrain.hf")) t.push_back("heightfield");
    if (base_is(name, "tilemap")) t.push_back("tilemap");
    if (base_is(name, "lighting")) t.push_back("lighting");
    if (base_is(name, "lines_novice") || base_is(name, "lines_amateur") || base_is(name, "lines_expert"))
        t.push_back("lines");
    for (const char *b : {"statues", "billboards", "flaggers", "cameras"})
        if (base_is(name, b)) t.push_back(b);
    if (base_is(name, "timing_gates")) t.push_back("timing_gates");
    if (ends_with(name, ".js")) t.push_back("script_source");
    return t;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: fuzz_seed_split ARCHIVE OUT\n");
        return 2;
    }
    FILE *f = fopen(argv[1], "rb");
    if (!f) {
        perror(argv[1]);
        return 1;
    }
    std::vector<std::pair<long, std::string>> members;
    char line[1100];
    while (fgets(line, sizeof line, f)) {
        line[strcspn(line, "\n")] = 0;
        if (strcmp(line, "-") == 0) break;
        char *space = strchr(line, ' ');
        if (!space) return 1;
        *space = 0;
        members.push_back({atol(line), space + 1});
    }
    std::string out = argv[2];
    mkdir(out.c_str(), 0755);
    for (const auto &[size, name] : members) {
        std::string bytes((size_t)size, '\0');
        if (size > 0 && fread(bytes.data(), 1, (size_t)size, f) != (size_t)size) return 1;
        std::string flat = name;
        for (char &c : flat)
            if (c == '/') c = '_';
        for (const std::string &target : targets_of(name)) {
            std::string data = bytes;
            // The tile map target reads k and the kind count from two bytes in front.
            if (target == "tilemap") {
                int k = (int)std::lround(std::log2(std::sqrt((double)size)));
                data = std::string(1, (char)(k - 6)) + std::string(1, (char)255) + bytes;
            }
            std::string folder = out + "/" + target;
            mkdir(folder.c_str(), 0755);
            FILE *o = fopen((folder + "/" + flat).c_str(), "wb");
            if (!o || fwrite(data.data(), 1, data.size(), o) != data.size() || fclose(o) != 0) return 1;
        }
    }
    fclose(f);
    return 0;
}
