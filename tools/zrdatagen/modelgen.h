// The stock models: the JM writer (tests write their fixtures with it too), the rider's
// skeleton, the bike base words, and the model and texture members: wheels, rider and bike
// parts with their level-of-detail versions.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/zrdatagen/imagegen.h"

// ---- JM files -------------------------------------------------------------------------------

struct datagen_jm_vertex {
    double position[3];
    double normal[3];
    double uv[2];                 // v counts from the bottom of the picture
    std::vector<double> weights;  // one per bone, in bone order (JM2 files)
};

struct datagen_jm_mesh {
    double mode = 32;             // lit: specular exponent; -1 reflective; -2 self-lit
    double factor = 1;
    double colour[3] = {1, 1, 1};
    std::vector<datagen_jm_vertex> vertices;
    std::vector<std::array<int, 3>> triangles;
};

struct datagen_jm_model {
    int version = 1;              // 1, 2 (bone weights), or 0: the legacy layout of one mesh
    int bone_count = 0;
    std::string word = "bones";
    std::vector<datagen_jm_mesh> meshes;
};

// The file: "JM1" or "JM2" with "B word", then per mesh the header "mode factor r g b
// vertices triangles", one line a vertex ("x y z nx ny nz u v" and the weights) and one a
// triangle; the legacy layout is "vertices triangles" and one mesh. Numbers as "%.6f".
std::string datagen_jm(const datagen_jm_model &m);

// ---- The bike's rest positions and the rider's skeleton -------------------------------------

// Rest positions of the bike's bodies (ft, bike facing -z) from the example bike row; each
// part model is in its own body's frame, the rest position minus the body's.
struct datagen_bike_rest {
    double front_wheel[3], rear_wheel[3], frame[3], fork_upper[3], swingarm[3],
        swingarm_pivot[3], fork_lower[3], rider[3];
    double front_ring, front_section, rear_ring, rear_section;  // tyre radii
    double fork_spacing;
};
extern const datagen_bike_rest datagen_rest;

// The rider model's nine bones in weight order: torso; left upper arm, left forearm; right
// upper arm, right forearm; left thigh, left shin; right thigh, right shin. Left is -x.
enum datagen_rider_bone_index {
    RIDER_BONE_TORSO,
    RIDER_BONE_LEFT_UPPER_ARM,
    RIDER_BONE_LEFT_FOREARM,
    RIDER_BONE_RIGHT_UPPER_ARM,
    RIDER_BONE_RIGHT_FOREARM,
    RIDER_BONE_LEFT_THIGH,
    RIDER_BONE_LEFT_SHIN,
    RIDER_BONE_RIGHT_THIGH,
    RIDER_BONE_RIGHT_SHIN,
    RIDER_BONES
};

// A bone at rest, rider-body coordinates: from its root joint (pelvis, shoulder, elbow, hip,
// knee) to its end (neck, elbow, hand, knee, ankle).
struct datagen_rider_bone {
    const char *name;
    double root[3];
    double end[3];
};

// The skeleton of the rest pose, seated with hands on the grips and boots on the pegs. Limb
// lengths: upper arm, forearm, thigh, shin (the bike row's four lengths).
struct datagen_rider_skeleton {
    datagen_rider_bone bones[RIDER_BONES];
    double head[3];               // the head model's origin, rider-body coordinates
    double upper_arm, forearm, thigh, shin;
    double grips[2][3];           // left, right: where the hands hold, upper-fork coordinates
    double pegs[2][3];            // left, right: where the soles rest, frame coordinates
};
extern const datagen_rider_skeleton datagen_skeleton;

// ---- Bike base words ------------------------------------------------------------------------

// The base words of the bike part files, with the engine class each stands for: the example
// row keeps its own word, every other row takes the word of its class. (index, word, class)
#define DATAGEN_BIKE_WORD_LIST(X)      \
    X(0, "yz250fv2014", "250f")        \
    X(1, "zr125", "125")               \
    X(2, "zr250", "250")               \
    X(3, "zr250f", "250f")             \
    X(4, "zr450f", "450f")             \
    X(5, "zr50", "50")

struct datagen_bike_word {
    const char *word;
    const char *engine_class;
};
extern const datagen_bike_word datagen_bike_words[];
extern const int datagen_bike_word_count;

// The files of one base word W: W_frame.jm, ..., W.png; the "_lod6" ones are the versions
// used from 64 ft.
enum datagen_bike_file {
    BIKE_FILE_FRAME,
    BIKE_FILE_FRAME_LOD,
    BIKE_FILE_FORK_UPPER,
    BIKE_FILE_FORK_UPPER_LOD,
    BIKE_FILE_FORK_LOWER,
    BIKE_FILE_FORK_LOWER_LOD,
    BIKE_FILE_SWINGARM,
    BIKE_FILE_SWINGARM_LOD,
    BIKE_FILE_SIDE_PLATES,
    BIKE_FILE_FRONT_PLATE,
    BIKE_FILE_TEXTURE,
    BIKE_FILES
};

// The bytes of one file of a base word (index into datagen_bike_words).
std::string datagen_bike_file_bytes(int word, int file);
template <int Word, int File>
std::string datagen_bike_member() {
    return datagen_bike_file_bytes(Word, File);
}

// ---- Models as records, for the members and the tests ---------------------------------------

// detail: 0 full, 1 the first lower version, 2 the lowest (wheels only).
datagen_jm_model datagen_wheel_model(int rear, int detail);
// detail: 0 full, 1 the version used from 64 ft.
datagen_jm_model datagen_rider_head_model(int detail);
// kind: 0 the whole body, 1 arms and legs only (first person); detail 0 or 1.
datagen_jm_model datagen_rider_body_model(int kind, int detail);
datagen_jm_model datagen_rider_plate_model();
// A bike part (BIKE_FILE_FRAME ... BIKE_FILE_FRONT_PLATE; the "_LOD" ones are the versions).
datagen_jm_model datagen_bike_part_model(int file);

// ---- Members --------------------------------------------------------------------------------

std::string datagen_front_wheel_jm();
std::string datagen_rear_wheel_jm();
std::string datagen_front_wheel_lod5_jm();
std::string datagen_rear_wheel_lod5_jm();
std::string datagen_front_wheel_lod7_jm_gz();
std::string datagen_rear_wheel_lod7_jm_gz();
std::string datagen_rider_head_jm();
std::string datagen_rider_head_lod6_jm();
std::string datagen_rider_body_jm();
std::string datagen_rider_body_lod6_jm();
std::string datagen_rider_body_fp_jm();
std::string datagen_rider_plate_jm();

// The model textures (RGB, power-of-two sides).
datagen_image datagen_wheels_image();
datagen_image datagen_rider_head_image();
datagen_image datagen_rider_body_image();
datagen_image datagen_bike_image(int word);
std::string datagen_wheels_png();
std::string datagen_rider_head_png();
std::string datagen_rider_body_png();
