// The chase camera and the camera-view controls. Following a rider's frame body joins with the
// rider records; until then the chase view looks from the origin and the controls do nothing.
#include "game/chase_camera.h"

#include "present/scene.h"

int camera_trackside = -1;

void camera_draw_chase(int slot, float fov_degrees) {
    (void)slot;
    const float eye[3] = {0, 0, 0};
    const float rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    scene_draw(eye, rotation, fov_degrees, -1);
}

void camera_controls_tick(const control_record *axes, int view_mode) {
    (void)axes;
    (void)view_mode;
}
