// Texture and model loads without a graphics context for the object readers' tests: every
// name not on the missing list gets the next number, and the names asked for are kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "race/objects.h"
#include "race/track.h"

struct fake_loads {
    static std::vector<std::string> &names() {
        static std::vector<std::string> n;
        return n;
    }
    static std::vector<std::string> &missing() {
        static std::vector<std::string> m;
        return m;
    }
    static uint32_t texture(const char *name) {
        for (const std::string &m : missing())
            if (m == name) return 0;
        names().push_back(name);
        return (uint32_t)names().size();
    }
    static model_mesh *model(const char *name) {
        static char dummy;
        for (const std::string &m : missing())
            if (m == name) return nullptr;
        return (model_mesh *)&dummy;
    }
    // The name texture id was loaded as ("" for 0 or an unknown id).
    static std::string name_of(uint32_t id) {
        return id >= 1 && id <= names().size() ? names()[id - 1] : std::string();
    }
    fake_loads() {
        names().clear();
        missing().clear();
        track_loaders = {texture, model};
        track_lists_create();
    }
    ~fake_loads() { track_lists_free(); }
};
