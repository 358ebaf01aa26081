// The erosion queue: wheel-track points waiting to dig ruts into the terrain.
#pragma once

// Applies queued points within the frame's budget, holding back those near the protected
// position (null: none), with the strength (1 = full).
void erode_apply_queue(const float *protected_position, float strength);
