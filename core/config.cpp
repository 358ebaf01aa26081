// The configuration file and its start-up helpers. Reading and writing "@config" join with the
// configuration Part; until then the settings keep their defaults and only the display modes
// are listed.
#include "core/config.h"

#include "platform/plyx.h"

int stock_models_match = 0;

void config_build_video_modes() {
    plyx_display_modes();
}

void config_read() {}

void config_write() {}

void config_select_start_track() {}

void util_check_stock_models() {}
