// Texture and model loads without a graphics context for the object readers' tests: every
// name not on the missing list gets the next number (textures) or place (models), and the
// names asked for are kept so the writers can give them back.
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
    static std::vector<std::string> &models() {
        static std::vector<std::string> m;
        return m;
    }
    static std::vector<std::string> &missing() {
        static std::vector<std::string> m;
        return m;
    }
    static char *places() {
        static char p[4096];
        return p;
    }
    static bool is_missing(const char *name) {
        for (const std::string &m : missing())
            if (m == name) return true;
        return false;
    }
    static uint32_t texture(const char *name) {
        if (is_missing(name)) return 0;
        names().push_back(name);
        return (uint32_t)names().size();
    }
    // A distinct address per model load, never read.
    static model_mesh *model(const char *name) {
        if (is_missing(name) || models().size() >= 4096) return nullptr;
        models().push_back(name);
        return (model_mesh *)(places() + models().size() - 1);
    }
    static const char *texture_name(uint32_t id) {
        return id >= 1 && id <= names().size() ? names()[id - 1].c_str() : nullptr;
    }
    static const char *model_name(const model_mesh *m) {
        size_t i = (size_t)((const char *)m - places());
        return m && i < models().size() ? models()[i].c_str() : nullptr;
    }
    // The name texture id was loaded as ("" for 0 or an unknown id).
    static std::string name_of(uint32_t id) {
        const char *n = texture_name(id);
        return n ? n : "";
    }
    fake_loads() {
        names().clear();
        models().clear();
        missing().clear();
        track_loaders = {texture, model, texture_name, model_name};
        track_lists_create();
    }
    ~fake_loads() { track_lists_free(); }
};
