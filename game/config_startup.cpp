// Start-up helpers that feed settings: the Video Mode options from the display modes, and the
// fingerprint of the stock collision shapes that a race server asks for.
#include <cstdio>
#include <cstring>

#include "core/digest.h"
#include "core/folders.h"
#include "core/mem.h"
#include "core/vfs.h"
#include "game/config.h"
#include "platform/plyx.h"

video_mode_list video_modes = {0, nullptr, nullptr};
int stock_models_match = 0;

static int is_end_row(const display_mode &m) {
    return m.width == 0 && m.height == 0 && m.bits == 0;
}

void config_build_video_modes(const display_mode *rows) {
    int n = 2;
    for (int i = 0; rows && !is_end_row(rows[i]); i++)
        if (rows[i].bits == rows[0].bits) n++;
    size_t entry_bytes = sizeof(video_mode_entry) * (size_t)n;
    char *block = (char *)mem_alloc_or_die(entry_bytes + sizeof(const char *) * (size_t)n);
    mem_free(video_modes.entries);
    video_modes.count = n;
    video_modes.entries = (video_mode_entry *)block;
    video_modes.texts = (const char **)(block + entry_bytes);
    video_modes.entries[0] = {0, 0, "Default Fullscreen"};
    video_modes.entries[1] = {0, 0, "Windowed"};
    int k = 2;
    for (int i = 0; rows && !is_end_row(rows[i]); i++) {
        if (rows[i].bits != rows[0].bits) continue;
        video_mode_entry &e = video_modes.entries[k++];
        e.width = rows[i].width;
        e.height = rows[i].height;
        snprintf(e.text, sizeof e.text, "%dx%d", e.width, e.height);
    }
    for (int i = 0; i < n; i++) video_modes.texts[i] = video_modes.entries[i].text;
    choice_widget &c = settings.video_mode;
    c.options = video_modes.texts;
    c.option_count = n;
    if (c.current < 0 || c.current >= n) c.current = 0;
}

void config_video_mode_size(int index, int *width, int *height) {
    *width = *height = 0;
    if (index < 0 || index >= video_modes.count) return;
    *width = video_modes.entries[index].width;
    *height = video_modes.entries[index].height;
}

static const char *STOCK_SHAPE_FILES[] = {
    "@generic_frame.shp", "@generic_fork_upper.shp", "@generic_fork_lower.shp",
    "@generic_swingarm.shp", "@front_wheel.shp", "@rear_wheel.shp", "@generic_rider.shp"};

void util_stock_models_digest(char out[41]) {
    ripemd160_state d;
    ripemd160_init(&d);
    for (const char *name : STOCK_SHAPE_FILES) {
        file_stream *s = stream_open(name, "rb");
        if (!s) continue;
        unsigned char block[1024];
        for (int n; (n = stream_read(s, block, sizeof block)) > 0;) ripemd160_update(&d, block, (size_t)n);
        stream_close(s);
    }
    ripemd160_final(&d);
    ripemd160_hex(&d, out);
}

void util_check_stock_models() {
    char hex[41];
    util_stock_models_digest(hex);
    stock_models_match = strcmp(hex, stock_shapes_digest_hex) == 0;
}
