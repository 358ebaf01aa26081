// Reading "tileinfo": one key a line into the pending kind, committed by "addtile", and the
// roost lines' lists of parameters.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/console.h"
#include "core/loading.h"
#include "core/stream.h"
#include "terrain/tile.h"

static void tile_warn_bad(const char *key) {
    char line[128];
    snprintf(line, sizeof line, "tileinfo warning: bad %.64s\n", key);
    console_print(line);
}

// One finite number from a value text: 1, or 0 when there is none.
static int tile_number(const char *text, float *v) {
    return stream_scan_text(text, "%f", v) == 1 && std::isfinite(*v);
}

// ---- Roost lines ---------------------------------------------------------------------------

struct tile_roost_float {
    const char *key;
    float roost_type::*field;
};

static const tile_roost_float tile_roost_floats[] = {
    {"count", &roost_type::count},           {"dig", &roost_type::dig},
    {"slip_threshold", &roost_type::slip_threshold},
    {"slow_angle", &roost_type::slow_angle}, {"fast_angle", &roost_type::fast_angle},
    {"slow_speed", &roost_type::slow_speed}, {"fast_speed", &roost_type::fast_speed},
    {"size", &roost_type::size},             {"grow", &roost_type::grow},
    {"drag", &roost_type::drag},             {"vscale", &roost_type::vscale},
    {"randomize", &roost_type::randomize},
};

struct tile_roost_byte {
    const char *key;
    unsigned char roost_type::*field;
    float scale;   // the number is multiplied by this before truncation
};

static const tile_roost_byte tile_roost_bytes[] = {
    {"r", &roost_type::r, 1},           {"g", &roost_type::g, 1},
    {"b", &roost_type::b, 1},           {"a", &roost_type::a, 1},
    {"fade_r", &roost_type::fade_r, 0.0078125f}, {"fade_g", &roost_type::fade_g, 0.0078125f},
    {"fade_b", &roost_type::fade_b, 0.0078125f}, {"fade_a", &roost_type::fade_a, 0.0078125f},
};

// The items of a roost list: split at blanks, double-quoted text kept together unquoted.
static std::vector<std::string> tile_roost_items(const char *text) {
    std::vector<std::string> items;
    const char *p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') p++;
        if (!*p) return items;
        std::string item;
        bool quoted = false;
        for (; *p && (quoted || (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')); p++) {
            if (*p == '"')
                quoted = !quoted;
            else
                item += *p;
        }
        items.push_back(item);
    }
}

// One "key=value" item into the roost type (its texture into the name).
static void tile_roost_item(roost_type *r, char texture[1024], const std::string &item) {
    size_t equals = item.find('=');
    std::string key = item.substr(0, equals);
    const char *value = equals == std::string::npos ? "" : item.c_str() + equals + 1;
    if (equals != std::string::npos) {
        if (key == "texture") {
            snprintf(texture, 1024, "%s", value);
            return;
        }
        float v = 0;
        int ok = tile_number(value, &v);
        if (key == "splash") {
            if (!ok) tile_warn_bad("splash");
            if (ok && v != 0) r->kind = 2;
            return;
        }
        for (const tile_roost_float &k : tile_roost_floats)
            if (key == k.key) {
                if (!ok) tile_warn_bad(k.key);
                r->*k.field = ok ? v : 0;
                return;
            }
        for (const tile_roost_byte &k : tile_roost_bytes)
            if (key == k.key) {
                // The truncated number's low byte, for numbers that fit an int.
                float t = v * k.scale;
                ok = ok && t > -2147483648.0f && t < 2147483648.0f;
                if (!ok) tile_warn_bad(k.key);
                r->*k.field = ok ? (unsigned char)((int)t & 255) : 0;
                return;
            }
    }
    char line[96];
    snprintf(line, sizeof line, "tileinfo warning: unknown roost parameter '%.40s'\n", key.c_str());
    console_print(line);
}

void tile_parse_roost(tile_pending *p, const char *text) {
    if (p->roost_count >= 4) {
        console_print("tileinfo warning: too many roost types\n");
        return;
    }
    roost_type *r = &p->kind.roost[p->roost_count];
    r->kind = 1;
    for (const std::string &item : tile_roost_items(text))
        tile_roost_item(r, p->roost_texture[p->roost_count], item);
    p->roost_count++;
}

// ---- Keys ----------------------------------------------------------------------------------

struct tile_erode_key {
    const char *key;
    float erode_params::*field;
};

static const tile_erode_key tile_erode_keys[] = {
    {"erode_depth", &erode_params::depth},
    {"erode_lower", &erode_params::lower},
    {"erode_upper", &erode_params::upper},
    {"erode_displacement", &erode_params::displacement},
    {"erode_radius", &erode_params::radius},
    {"erode_inner_depth", &erode_params::inner_depth},
    {"erode_inner_radius", &erode_params::inner_radius},
    {"erode_min_slope", &erode_params::min_slope},
    {"erode_max_slope", &erode_params::max_slope},
    {"erode_off_speed", &erode_params::off_speed},
    {"erode_on_speed", &erode_params::on_speed},
    {"erode_slip_lower", &erode_params::slip_lower},
    {"erode_slip_upper", &erode_params::slip_upper},
    {"erode_slip_base_scale", &erode_params::slip_base_scale},
    {"erode_slip_scale", &erode_params::slip_scale},
    {"erode_downhill_scale", &erode_params::downhill_scale},
    {"erode_project_to_ground", &erode_params::project_to_ground},
    {"erode_lateral_scale", &erode_params::lateral_scale},
    {"erode_front_scale", &erode_params::front_scale},
};

static void tile_friction(tile_pending *p, const char *value) {
    float a, b;
    if (p->friction_count >= 8) {
        console_print("tileinfo warning: too many friction points\n");
    } else if (stream_scan_text(value, "%f %f", &a, &b) != 2 || !std::isfinite(a) ||
               !std::isfinite(b)) {
        console_print("tileinfo warning: bad friction parameters\n");
    } else {
        p->kind.friction_a[p->friction_count] = a < 0 ? 0 : a;
        p->kind.friction_b[p->friction_count] = b > TILE_FRICTION_SPEED_MAX ? TILE_FRICTION_SPEED_MAX : b;
        p->friction_count++;
    }
}

static void tile_roll_resist(tile_pending *p, const char *value) {
    float a, b, c;
    if (p->roll_count >= 8) {
        console_print("tileinfo warning: too many roll_resist points\n");
    } else if (stream_scan_text(value, "%f %f %f", &a, &b, &c) != 3 || !std::isfinite(a) ||
               !std::isfinite(b) || !std::isfinite(c)) {
        console_print("tileinfo warning: bad roll_resist parameters\n");
    } else {
        p->kind.roll_a[p->roll_count] = a < 0 ? 0 : a;
        p->kind.roll_b[p->roll_count] = b < 0 ? 0 : b;
        p->kind.roll_c[p->roll_count] = c < TILE_ROLL_SPEED_MIN ? TILE_ROLL_SPEED_MIN : c;
        p->roll_count++;
    }
}

static void tile_erode_limit(tile_pending *p, const char *value) {
    erode_params &e = p->kind.erode;
    float depth, main, inner;
    if (p->limit_count >= 8) {
        console_print("tileinfo warning: too many erode limits\n");
    } else if (stream_scan_text(value, "%f %f %f", &depth, &main, &inner) != 3 ||
               !std::isfinite(depth) || !std::isfinite(main) || !std::isfinite(inner)) {
        console_print("tileinfo warning: bad erode_limit\n");
    } else if (p->limit_count > 0 && depth <= e.limit_depth[p->limit_count - 1]) {
        console_print("tileinfo warning: erode_limit depth <= prev depth\n");
    } else {
        e.limit_depth[p->limit_count] = depth;
        e.limit_main[p->limit_count] = main;
        e.limit_inner[p->limit_count] = inner;
        p->limit_count++;
    }
}

// Points sorted by their abscissa, equal ones keeping their order (adjacent exchanges).
static void tile_sort_points(int count, float *key, float *a, float *b, float *c) {
    for (int pass = 0; pass < count; pass++)
        for (int i = 0; i + 1 < count - pass; i++)
            if (key[i] > key[i + 1]) {
                for (float *v : {a, b, c})
                    if (v && v != key) std::swap(v[i], v[i + 1]);
                std::swap(key[i], key[i + 1]);
            }
}

// Radii that would make the dig loops endless, and ranges that would divide 0 by 0.
static void tile_settle_erode(erode_params *e, float spacing) {
    float limit = TILE_ERODE_RADIUS_CELLS * spacing;
    if (e->radius > limit) {
        e->radius = limit;
        console_print("tileinfo warning: erode_radius too large\n");
    }
    if (e->inner_radius > limit) {
        e->inner_radius = limit;
        console_print("tileinfo warning: erode_inner_radius too large\n");
    }
    float *ranges[3][2] = {{&e->lower, &e->upper}, {&e->off_speed, &e->on_speed},
                           {&e->slip_lower, &e->slip_upper}};
    for (auto &r : ranges)
        if (!(*r[1] > *r[0])) {
            *r[1] = *r[0] + TILE_ERODE_STEP;
            console_print("tileinfo warning: bad erode range\n");
        }
}

static void tile_commit(terrain_field *f, tile_pending *p, std::vector<std::string> *short_names) {
    tile_kind k = p->kind;
    if (!p->name_given) snprintf(k.name, sizeof k.name, "%.47s", p->texture_name);
    tile_sort_points(p->friction_count, k.friction_b, k.friction_a, nullptr, nullptr);
    tile_sort_points(p->roll_count, k.roll_c, k.roll_a, k.roll_b, nullptr);
    if (!p->texture_name[0]) console_print("tileinfo warning: tile without texture\n");
    if (p->limit_count == 0) {
        k.erode.limit_count = 1;
        k.erode.limit_depth[0] = 0;
        k.erode.limit_main[0] = 1;
        k.erode.limit_inner[0] = 1;
    } else {
        k.erode.limit_count = p->limit_count;
    }
    tile_settle_erode(&k.erode, f->spacing);
    tile_kind_names &names = f->kind_names[f->kind_count];
    snprintf(names.texture, sizeof names.texture, "%s", p->texture_name);
    for (int i = 0; i < 4; i++) snprintf(names.roost[i], sizeof names.roost[i], "%s", p->roost_texture[i]);
    f->kinds[f->kind_count++] = k;
    short_names->push_back(p->texture_name[0] ? tile_short_name(p->texture_name) : "");
    tile_kind_defaults(p);
}

// One line: its key and value, then the key's effect.
static void tile_line(terrain_field *f, tile_pending *p, char *line,
                      std::vector<std::string> *short_names) {
    char *key = line;
    while (*key == ' ' || *key == '\t' || *key == '\r' || *key == '\n') key++;
    if (!*key) return;
    char *end = key;
    while (*end && *end != ' ' && *end != '\t' && *end != '\r' && *end != '\n') end++;
    char *value = end;
    while (*value == ' ' || *value == '\t') value++;
    value[strcspn(value, "\r\n")] = 0;
    *end = 0;

    if (strcmp(key, "addtile") == 0) {
        tile_commit(f, p, short_names);
    } else if (strcmp(key, "name") == 0) {
        snprintf(p->kind.name, sizeof p->kind.name, "%.47s", value);
        p->name_given = 1;
    } else if (strcmp(key, "texture") == 0) {
        snprintf(p->texture_name, sizeof p->texture_name, "%s", value);
    } else if (strcmp(key, "friction") == 0) {
        tile_friction(p, value);
    } else if (strcmp(key, "slip_function") == 0) {
        int v;
        if (stream_scan_text(value, "%d", &v) != 1 || v < 0 || v > 2)
            console_print("tileinfo warning: bad slip_function\n");
        else
            p->kind.slip_function = v;
    } else if (strcmp(key, "roll_resist") == 0) {
        tile_roll_resist(p, value);
    } else if (strcmp(key, "roost") == 0) {
        tile_parse_roost(p, value);
    } else if (strcmp(key, "erode_limit") == 0) {
        tile_erode_limit(p, value);
    } else {
        for (const tile_erode_key &k : tile_erode_keys)
            if (strcmp(key, k.key) == 0) {
                float v;
                if (tile_number(value, &v))
                    p->kind.erode.*k.field = v;
                else
                    tile_warn_bad(k.key);
                return;
            }
        char text[1024];
        snprintf(text, sizeof text, "tileinfo warning: Unknown identifier '%.950s'\n", key);
        console_print(text);
    }
}

int tile_load_tileinfo(terrain_field *f, file_stream *s) {
    tile_pending pending;
    tile_pending *p = &pending;
    tile_kind_defaults(p);
    std::vector<std::string> short_names;
    for (int i = 0; i < f->kind_count; i++) short_names.push_back("");
    char line[TILE_LINE_MAX + 1];
    while (f->kind_count < TERRAIN_KINDS_MAX && stream_read_line(s, line, sizeof line)) {
        tile_line(f, p, line, &short_names);
        loading_progress("Loading tileinfo");
    }
    std::vector<const char *> names;
    for (const std::string &name : short_names) names.push_back(name.c_str());
    tile_set_transitions(f, names.data());
    return 1;
}
