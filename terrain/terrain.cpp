// The processor probe and the terrain's per-frame entry points. The terrain field, its level of
// detail and its reshading join with the terrain Parts; until then there is nothing to update.
#include "terrain/terrain.h"

#include "platform/plyx.h"

int terrain_mmx = 0;

void terrain_probe_mmx() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    terrain_mmx = __builtin_cpu_supports("mmx") ? 1 : 0;
#else
    terrain_mmx = 0;
#endif
    if (!terrain_mmx) plyx_log("This CPU does not have MMX!\n");
}

void terrain_use_main_field() {}

void terrain_update_frame(int reshade_mask) {
    (void)reshade_mask;
}

void terrain_update_all() {}
