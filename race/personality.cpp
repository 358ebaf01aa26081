// The auto pilot's personalities: the table of rows and choosing a rider's row by name.
#include <cstring>

#include "core/console.h"
#include "race/robots.h"

const autopilot_personality_row autopilot_personalities[AUTOPILOT_PERSONALITIES] = {
    {"empty", 0, 0, 0.0f, 0.0f, 0.0f},   {"zorvik", 0, 0, 1.0f, 0.2f, 0.4f},
    {"quellan", 2, 1, 10.0f, 0.2f, 0.4f}, {"brannox", 1, 0, 10.0f, 0.0f, 0.1f},
    {"tester", 3, 3, 1.0f, 0.2f, 0.4f},
};

void rider_set_personality(rider_slot *s, const char *name) {
    if (!s) return;
    for (int i = 1; i < AUTOPILOT_PERSONALITIES; i++)
        if (name && strcmp(autopilot_personalities[i].name, name) == 0) {
            s->autopilot_personality = i;
            return;
        }
    console_printf("auto pilot personality '%.200s' not found", name ? name : "");
    s->autopilot_personality = 1;
}
