// Building the built-in programs through the ARB shader-object entry points, switching slots
// and setting the per-draw uniforms.
#include <cstring>
#include <vector>

#include "gfx/shader.h"
#include "platform/plyx.h"

// Logs a non-empty info log of a shader or program object.
static void shader_log_info(GLhandleARB object, const char *what, const char *name) {
    GLint length = 0;
    gl_ext.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length < 1) return;
    std::vector<char> text((size_t)length + 1, 0);
    gl_ext.glGetInfoLogARB(object, length, nullptr, text.data());
    if (!text[0]) return;
    plyx_log("%s for %s:\n%s\n", what, name, text.data());
}

static int shader_compile(GLhandleARB object, const char *what, const char *name) {
    gl_ext.glCompileShaderARB(object);
    shader_log_info(object, what, name);
    GLint ok = 0;
    gl_ext.glGetObjectParameterivARB(object, GL_OBJECT_COMPILE_STATUS_ARB, &ok);
    return ok;
}

int shader_build_program(GLhandleARB *program, GLhandleARB *vertex_object,
                         GLhandleARB *fragment_object, const char *vertex_source,
                         const char *fragment_source, const char *name) {
    *vertex_object = gl_ext.glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    *fragment_object = gl_ext.glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    gl_ext.glShaderSourceARB(*vertex_object, 1, &vertex_source, nullptr);
    gl_ext.glShaderSourceARB(*fragment_object, 1, &fragment_source, nullptr);
    int ok = shader_compile(*vertex_object, "vertex shader status", name) &&
             shader_compile(*fragment_object, "fragment shader status", name);
    if (ok) {
        *program = gl_ext.glCreateProgramObjectARB();
        gl_ext.glAttachObjectARB(*program, *vertex_object);
        gl_ext.glAttachObjectARB(*program, *fragment_object);
        gl_ext.glLinkProgramARB(*program);
        shader_log_info(*program, "link status", name);
        GLint linked = 0;
        gl_ext.glGetObjectParameterivARB(*program, GL_OBJECT_LINK_STATUS_ARB, &linked);
        ok = linked;
    }
    if (ok) return 1;
    shader_delete_all();
    return 0;
}

void shader_delete_all() {
    if (!gl_info.arb_vertex_shader || !gl_info.arb_fragment_shader) return;
    for (shader_slot &s : gl_info.slots) {
        if (s.program) {
            if (s.vertex_object) gl_ext.glDetachObjectARB(s.program, s.vertex_object);
            if (s.fragment_object) gl_ext.glDetachObjectARB(s.program, s.fragment_object);
        }
        if (s.vertex_object) gl_ext.glDeleteObjectARB(s.vertex_object);
        if (s.fragment_object) gl_ext.glDeleteObjectARB(s.fragment_object);
        if (s.program) gl_ext.glDeleteObjectARB(s.program);
        // Zeroed, so that no one binds a deleted program after a failed build.
        s.program = s.vertex_object = s.fragment_object = 0;
    }
}

static void shader_clear_slots() {
    for (shader_slot &s : gl_info.slots) {
        s.program = s.vertex_object = s.fragment_object = 0;
        s.nbones_location = s.bone_c_location = s.bone_t_location = s.bone_r_location = -1;
    }
}

// The sampler units of each slot.
static const struct {
    int slot;
    const char *sampler;
    int unit;
} shader_samplers[] = {
    {1, "tex", 0},  {2, "tex", 0},  {3, "tex", 0},  {3, "nmap", 1}, {4, "tex", 0},
    {4, "nmap", 1}, {5, "tex", 0},  {5, "nmap", 1}, {5, "smap", 2}, {6, "tex", 0},
    {6, "base", 1}, {7, "tex", 0},  {7, "nmap", 1}, {7, "smap", 2},
};

int shader_build_all() {
    if (!gl_info.arb_vertex_shader || !gl_info.arb_fragment_shader) return 0;
    shader_clear_slots();
    for (int i = 1; i < SHADER_SLOTS; i++) {
        shader_slot &s = gl_info.slots[i];
        const shader_source &src = shader_sources[i];
        if (!shader_build_program(&s.program, &s.vertex_object, &s.fragment_object, src.vertex,
                                  src.fragment, src.name))
            return 0;
    }
    for (const auto &u : shader_samplers) {
        shader_use(u.slot);
        GLint at = gl_ext.glGetUniformLocationARB(gl_info.slots[u.slot].program, u.sampler);
        if (at != -1) gl_ext.glUniform1iARB(at, u.unit);
        shader_use(SHADER_SLOT_FIXED);
    }
    return 1;
}

void shader_use(int slot) {
    if (slot < 0 || slot >= SHADER_SLOTS || slot == gl_info.current_slot) return;
    gl_info.current_slot = slot;
    // Slot 0 holds handle 0: back to fixed function. Without the extensions nothing is bound.
    if (gl_info.arb_vertex_shader && gl_info.arb_fragment_shader)
        gl_ext.glUseProgramObjectARB(gl_info.slots[slot].program);
    gl_info.program_switches++;
}

GLhandleARB shader_program_handle(int slot) {
    if (slot < 1 || slot >= SHADER_SLOTS) return 0;
    return gl_info.slots[slot].program;
}

void shader_set_envmat(const float m[9]) {
    if (!gl_info.arb_vertex_shader || !gl_info.arb_fragment_shader) return;
    float columns[9];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) columns[3 * c + r] = m[3 * r + c];
    struct {
        int slot;
        int *location;
    } targets[] = {{SHADER_SLOT_ENV, &gl_info.env_envmat_location},
                   {SHADER_SLOT_NORM_ENV, &gl_info.norm_env_envmat_location}};
    for (auto &t : targets) {
        shader_use(t.slot);
        if (*t.location == -1)
            *t.location = gl_ext.glGetUniformLocationARB(gl_info.slots[t.slot].program, "envmat");
        gl_ext.glUniformMatrix3fvARB(*t.location, 1, GL_FALSE, columns);
    }
    shader_use(SHADER_SLOT_FIXED);
}

void shader_set_bones(int count, const float *centres, const float *translations,
                      const float *rotations) {
    int slot = gl_info.current_slot;
    if (slot < 1 || slot >= SHADER_SLOTS) return;
    if (!gl_info.arb_vertex_shader || !gl_info.arb_fragment_shader) return;
    shader_slot &s = gl_info.slots[slot];
    if (s.nbones_location == -1) {
        s.nbones_location = gl_ext.glGetUniformLocationARB(s.program, "nbones");
        s.bone_c_location = gl_ext.glGetUniformLocationARB(s.program, "bone_c");
        s.bone_t_location = gl_ext.glGetUniformLocationARB(s.program, "bone_t");
        s.bone_r_location = gl_ext.glGetUniformLocationARB(s.program, "bone_r");
    }
    if (count < 0) count = 0;
    if (count > MAX_BONE) count = MAX_BONE;
    gl_ext.glUniform1iARB(s.nbones_location, count);
    if (count < 1) return;
    gl_ext.glUniform3fvARB(s.bone_c_location, count, centres);
    gl_ext.glUniform3fvARB(s.bone_t_location, count, translations);
    gl_ext.glUniformMatrix3fvARB(s.bone_r_location, count, GL_FALSE, rotations);
}
