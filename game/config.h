// The configuration file "@config" and the start-up helpers that feed settings: the display
// modes behind the Video Mode choice and the fingerprint of the stock collision shapes.
#pragma once

#include "core/settings.h"
#include "core/stream.h"
#include "game/settings_table.h"

struct display_mode;

// One option of the Video Mode choice: its size (0 x 0 for the first two) and its text.
struct video_mode_entry {
    int width, height;
    char text[24];
};

// One block: count entries, then count pointers to their texts (the choice's options).
struct video_mode_list {
    int count;
    video_mode_entry *entries;
    const char **texts;
};

extern video_mode_list video_modes;
// 1 when the stock collision shapes have the build's fingerprint.
extern int stock_models_match;

// Builds the Video Mode options from display-mode rows ended by an all-zero row (null: none):
// "Default Fullscreen", "Windowed", then every row with the first row's bits as "%dx%d".
void config_build_video_modes(const display_mode *rows);
// The window size of a Video Mode option; 0 x 0 for the first two and for an unknown index.
void config_video_mode_size(int index, int *width, int *height);

// Reads "@config" when it exists.
void config_read();
// Rewrites "@config" through "@config.tmp": 1, or 0 with the old file kept and a warning.
int config_write();
// Applies one value to a key's record by the key's kind: 1 when the value was taken.
int config_apply_value(const setting_key &k, const char *value);
// Writes one key's line ("key=value\n"): 1, or 0 on a write error. A binding with neither key
// nor axis writes nothing.
int config_write_value(file_stream *s, const setting_key &k);
// Fills a binding from its written form: "(k)name", "(min,max)axis" or a bare key name.
void config_parse_binding(control_binding *b, const char *value);
// Selects in the Track choice the track named by track_name (--track), else by the
// configuration's "track" (a name that selects nothing leaves the choice as it is).
// 0 when --track names no track or more than one (said on standard error): start-up ends.
int config_select_start_track();

// The RIPEMD-160 of the seven stock shape files as the file index finds them, a missing file
// skipped, as 40 lower-case hex digits.
void util_stock_models_digest(char out[41]);
// Computes the stock-shape fingerprint and sets stock_models_match.
void util_check_stock_models();

constexpr int CONFIG_LINE_MAX = 2048;   // bytes of a line kept; the rest of a longer one is dropped
