// The ".saf" archive writer with its rules for member names.
#include <cctype>
#include <cstdio>
#include <initializer_list>

#include "tools/zrdatagen/datagen.h"

static bool datagen_starts_with(const std::string &s, const char *prefix) {
    return s.compare(0, std::string(prefix).size(), prefix) == 0;
}

static bool datagen_ends_with(const std::string &s, const char *suffix) {
    std::string x(suffix);
    return s.size() >= x.size() && s.compare(s.size() - x.size(), x.size(), x) == 0;
}

std::string datagen_check_name(const std::string &name) {
    if (name.empty()) return "empty name";
    for (unsigned char c : name) {
        if (c <= ' ' || c >= 127) return "not printable ASCII";
        if (c == '\\') return "backslash";
        if (isupper(c)) return "not lower case";
    }
    if (name[0] == '/' || name.back() == '/') return "not a relative file name";
    if (name.find("//") != std::string::npos) return "empty folder name";
    std::string padded = "/" + name + "/";
    if (padded.find("/./") != std::string::npos || padded.find("/../") != std::string::npos)
        return "dot folder";
    if (datagen_ends_with(name, ".saf")) return "archive inside the archive";
    // The user's own files in the home folder.
    for (const char *exact : {"config", "results.txt", "lastlog.txt"})
        if (name == exact) return "a user's file";
    for (const char *folder : {"setups/", "keycam/", "outgoing/", "demos/", "screenshot"})
        if (datagen_starts_with(name, folder)) return "a user's file";
    if (datagen_ends_with(name, "_standings")) return "a user's file";
    return "";
}

int datagen_archive_add(datagen_archive *a, const std::string &name, std::string bytes,
                        std::string *error) {
    std::string why = datagen_check_name(name);
    if (why.empty() && (long)bytes.size() > DATAGEN_MEMBER_MAX) why = "member too large";
    if (why.empty() && std::to_string(bytes.size()).size() + 2 + name.size() > DATAGEN_LINE_MAX)
        why = "header line too long";
    for (const std::string &n : a->names)
        if (why.empty() && n == name) why = "repeated name";
    if (!why.empty()) {
        *error = "'" + name + "': " + why;
        return 0;
    }
    a->names.push_back(name);
    a->data.push_back(std::move(bytes));
    return 1;
}

std::string datagen_archive_bytes(const datagen_archive &a) {
    std::string out;
    for (size_t i = 0; i < a.names.size(); i++)
        out += std::to_string(a.data[i].size()) + " " + a.names[i] + "\n";
    out += "-\n";
    for (const std::string &d : a.data) out += d;
    return out;
}

int datagen_stock_archive(std::string *out, std::string *error) {
    datagen_archive a;
    for (int i = 0; i < datagen_member_count; i++)
        if (!datagen_archive_add(&a, datagen_members[i].name, datagen_members[i].make(), error))
            return 0;
    *out = datagen_archive_bytes(a);
    return 1;
}

int datagen_write_file(const std::string &path, const std::string &bytes) {
    std::string tmp = path + ".tmp";
    FILE *f = fopen(tmp.c_str(), "wb");
    if (!f) return 0;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (fclose(f) != 0) ok = false;
    if (ok && rename(tmp.c_str(), path.c_str()) == 0) return 1;
    remove(tmp.c_str());
    return 0;
}
