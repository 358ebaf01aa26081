// The bike setup's start-up and per-frame entry points. The setup records, presets and the
// change report join with the setup Parts; until then only the bike's name is kept.
#include "core/setup.h"

const char *setup_bike_model = "yz250f(2017)";

void setup_select_bike(const char *model) {
    setup_bike_model = model;
}

void setup_apply_stability_preset(int stability) {
    (void)stability;
}

void setup_mark_reported() {}

void setup_change_report() {}
