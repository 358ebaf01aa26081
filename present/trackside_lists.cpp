// The track's lens flares and trackside cameras as the track load fills them into the scene's
// lists.
#include "present/camera.h"
#include "present/scene.h"
#include "race/flaggers.h"
#include "race/track.h"

static int trackside_camera_add(float x, float y, float z, float fov, float autofovsize) {
    camera c = {};
    c.x = x;
    c.y = y;
    c.z = z;
    c.fov = fov;
    c.autofovsize = autofovsize;
    return scene_trackside_cameras.items && plyx_array_append(&scene_trackside_cameras, &c) ? 1 : 0;
}

static void trackside_cameras_clear() {
    scene_trackside_cameras.count = 0;
}

void scene_connect_track_lists() {
    track_flare_list = &scene_flares;
    track_camera_add = trackside_camera_add;
    track_cameras_clear = trackside_cameras_clear;
}

void scene_disconnect_track_lists() {
    track_flare_list = nullptr;
    track_camera_add = nullptr;
    track_cameras_clear = nullptr;
}
