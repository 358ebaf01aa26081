// The cameras that watch the race from outside a bike: the camera record, the free camera, the
// camera in use, turning a camera toward a moving rider, and the ground height under a camera.
#pragma once

#include "bike/controls.h"
#include "core/vec3.h"

// One camera: position (ft), yaw (radians, -pi..pi, 0 looks along +z, turning toward +x),
// pitch (radians, -pi/2..pi/2, up positive), their rates (radians per second), the field of
// view (degrees) and the size the automatic zoom keeps in view (ft; 0 turns it off).
struct camera {
    float x, y, z;
    float yaw, pitch;
    float yaw_rate, pitch_rate;
    float fov;
    float autofovsize;
};

extern camera free_camera;
// The trackside camera in use: an index into scene_trackside_cameras (rows of camera); -1, or
// any index outside the table, selects the free camera.
extern int current_camera;
// On: the camera in use aims at the viewed rider; off: the controls turn it.
extern int camera_tracking;

// The camera current_camera selects (the free camera outside the table).
camera *camera_in_use();
// One tick of turning the camera: toward the rider (position and velocity of its frame) while
// tracking, else by the steer and shift axes; snap points it at the rider at once (the first
// tick after a switch). Non-finite rider values leave the camera as it is.
void camera_track_rider(camera *c, const control_record *controls, vec3 rider_position,
                        vec3 rider_velocity, int snap);
// The weighted mean terrain height around (x, z): grid points within the radius weigh 1,
// fading to 0 one cell further out; 0 without a terrain.
float camera_ground_height(float x, float z, float radius);
// The view rotation (row-major 3 x 3, columns right, up, backward) of a camera's angles.
void camera_matrix_from_angles(float m[9], float pitch, float yaw);
// The rotation matrix of a unit quaternion.
void camera_matrix_from_quat(float m[9], float w, float x, float y, float z);

constexpr float CAMERA_TICK = 1.0f / 128.0f;
constexpr float CAMERA_FREE_FOV = 90.0f;
