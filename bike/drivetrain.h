// The engine and drivetrain: the engine speed the program integrates itself, the drive spring
// to the rear wheel through clutch and gears, automatic shifting and the brakes.
#pragma once

#include "bike/rider.h"

// Engine speed in rpm.
float bike_engine_rpm(const rider_slot *s);
// The engine's torque (ft-lbf) at its speed and the throttle, less the wheelie cut.
float bike_engine_torque(const rider_slot *s);
// The torque tables of the row read at the rpm (NaN reads entry 0), mixed by the throttle.
float bike_torque_curve(const bike_info *row, float rpm, float throttle);
// The overall ratio of the gear: primary x gear x final drive (0 for a missing gear).
float bike_overall_ratio(const rider_slot *s);
// One tick of the drivetrain: shifting, the drive torque on rear wheel and frame, the engine
// speed and drive phase, both brakes.
void bike_drivetrain(rider_slot *s);
// The clutch engagement at the engine's rpm: the lever's below the automatic clutch's range.
float bike_clutch_engagement(const rider_slot *s, float rpm);

constexpr float DRIVE_CLUTCH_WINDUP = 0.7853981852531433f;  // pi/4 in single precision
constexpr float DRIVE_TORQUE_LIMIT = 1000000.0f;
constexpr float DRIVE_DAMPING_LIMIT = 500.0f;
constexpr float DRIVE_PHASE_LIMIT = 32.0f;       // radians: beyond it the phase is corrupt
constexpr float ENGINE_SPEED_LIMIT = 100000.0f;  // rad/s: beyond it the engine speed is corrupt
constexpr float ANTILOCK_SLIP = 2.0f;            // ft/s of contact slip
