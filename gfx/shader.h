// The OpenGL capability probe and the built-in shader programs in eight numbered slots (slot 0
// is the fixed-function pipeline).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include "gfx/gl_entry_points.h"

struct shader_slot {
    GLhandleARB program;          // 0 = none
    GLhandleARB vertex_object;
    GLhandleARB fragment_object;
    int nbones_location;          // -1 = not looked up yet
    int bone_c_location;
    int bone_t_location;
    int bone_r_location;
};

// What the driver offers, filled once by gl_probe.
struct gl_capabilities {
    const char *vendor;           // glGetString results ("NULL" for a null one); they stay
    const char *renderer;         // valid while the context lives
    const char *version;
    const char *extensions;
    int version_major;            // from "%d.%d" of the version, 0 when it does not parse
    int version_minor;
    int arb_multitexture;         // 1 when the name is a whole token of the extensions
    int arb_vertex_shader;
    int arb_fragment_shader;
    int sgis_generate_mipmap;
    int ext_framebuffer_object;
    int texture_units;            // 1, or the driver's count with multitexture
    int program_switches;         // actual program changes (the scene zeroes it each frame)
    int current_slot;
    shader_slot slots[8];
    int env_envmat_location;      // "envmat" of slots 2 and 4; -1 until looked up
    int norm_env_envmat_location;
};

// The extension entry points. Fetched whatever the flags say, but called only when the
// extension's flag is 1 (the platform hands out an address for any name).
struct gl_entry_points {
#define GL_ENTRY_POINT_FIELD(type, name) type name;
    GL_ENTRY_POINTS_MULTITEXTURE(GL_ENTRY_POINT_FIELD)
    GL_ENTRY_POINTS_FRAMEBUFFER(GL_ENTRY_POINT_FIELD)
    GL_ENTRY_POINTS_SHADER(GL_ENTRY_POINT_FIELD)
#undef GL_ENTRY_POINT_FIELD
};

// One built-in program: the name used in log lines and its two sources.
struct shader_source {
    const char *name;
    const char *vertex;
    const char *fragment;
};

extern gl_capabilities gl_info;
extern gl_entry_points gl_ext;
// Sources of slots 1..7 (entry 0 unused). Tests may replace an entry before shader_build_all.
extern shader_source shader_sources[8];

// 1 when name occurs in the extension string as a whole blank-separated token.
int gl_extension_present(const char *extensions, const char *name);
// Fills the strings, version and flags of gl_info from the four strings (any may be null) and
// sets texture_units to 1; the part of the probe that needs no context.
void gl_probe_parse(const char *vendor, const char *renderer, const char *version,
                    const char *extensions);
// The probe: the four strings from the current context, the entry points, the unit count.
void gl_probe();
// Start-up's graphics check: gl_probe, the four "GL_...: " log lines, then the programs when
// use_shader is on, the fragment-shader extension is present and there are at least 4 units.
// Returns what becomes shaders_active: 1 when the programs were built.
int gl_startup(int use_shader);

int shader_build_all();
int shader_build_program(GLhandleARB *program, GLhandleARB *vertex_object,
                         GLhandleARB *fragment_object, const char *vertex_source,
                         const char *fragment_source, const char *name);
// Deletes every program and shader object and zeroes their handles.
void shader_delete_all();
void shader_use(int slot);
GLhandleARB shader_program_handle(int slot);
// m: a 3x3 rotation, row-major.
void shader_set_envmat(const float m[9]);
// At most MAX_BONE bones: a larger count is cut to MAX_BONE.
void shader_set_bones(int count, const float *centres, const float *translations,
                      const float *rotations);

constexpr int SHADER_SLOT_FIXED = 0;
constexpr int SHADER_SLOT_LIT = 1;
constexpr int SHADER_SLOT_ENV = 2;
constexpr int SHADER_SLOT_NORM_LIT = 3;
constexpr int SHADER_SLOT_NORM_ENV = 4;
constexpr int SHADER_SLOT_NORM_SPEC_LIT = 5;
constexpr int SHADER_SLOT_TERRAIN_NORMALS = 6;
constexpr int SHADER_SLOT_TERRAIN = 7;
constexpr int SHADER_SLOTS = 8;
constexpr int MAX_BONE = 32;
