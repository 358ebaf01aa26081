// The program's one terrain field, the processor probe and the terrain's per-frame entry points.
#include "terrain/terrain.h"

#include "platform/plyx.h"

terrain_field terrain_main_record;
terrain_field *terrain_current = &terrain_main_record;
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

void terrain_use_main_field() {
    terrain_current = &terrain_main_record;
}

void terrain_update_frame(int reshade_mask) {
    // The budgeted error computation and the low-detail rebuilds join with the level-of-detail
    // mesh.
    (void)reshade_mask;
}

void terrain_update_all() {}
