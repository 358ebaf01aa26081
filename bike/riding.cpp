// Riding control: the calls the bike step makes for the rider's pose, falls, steering and
// balance.
#include "bike/riding.h"

void rider_update_pose(rider_slot *s) {
    (void)s;
}

void rider_ejection_test(rider_slot *s) {
    (void)s;
}

void rider_respawn_step(rider_slot *s) {
    (void)s;
}

void rider_auto_dab(rider_slot *s) {
    (void)s;
}

void bike_steering(rider_slot *s) {
    (void)s;
}

void bike_arcade_steering(rider_slot *s) {
    (void)s;
}

void bike_joint_force_correction(rider_slot *s) {
    (void)s;
}

void rider_balance(rider_slot *s) {
    (void)s;
}

void rider_fall_off(rider_slot *s) {
    (void)s;
}
