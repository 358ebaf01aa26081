// The terrain as start-up and the frame loop see it: the processor probe, the program's one
// terrain field and the per-frame upkeep.
#pragma once

// 1 when the processor has MMX (cleared by --nommx).
extern int terrain_mmx;

// Tests the processor for MMX and sets terrain_mmx; logs when it is missing.
void terrain_probe_mmx();
// Points the terrain at the program's one terrain field.
void terrain_use_main_field();
// The per-frame level-of-detail and reshading work; reshade_mask = 2^delay - 1 (0 in the editor).
void terrain_update_frame(int reshade_mask);
// Finishes every pending terrain update at once.
void terrain_update_all();
