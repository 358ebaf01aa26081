// The OpenGL capability probe: driver strings, version, extension flags, entry points and the
// texture unit count, and start-up's decision whether to build the shader programs.
#include <cstdio>
#include <cstring>

#include "gfx/shader.h"
#include "platform/plyx.h"

// Zero at start, except the uniform locations, which start as "not looked up".
static gl_capabilities gl_info_at_start() {
    gl_capabilities g = {};
    for (shader_slot &s : g.slots)
        s.nbones_location = s.bone_c_location = s.bone_t_location = s.bone_r_location = -1;
    g.env_envmat_location = g.norm_env_envmat_location = -1;
    return g;
}

gl_capabilities gl_info = gl_info_at_start();
gl_entry_points gl_ext;

int gl_extension_present(const char *extensions, const char *name) {
    if (!extensions || !name || !*name || strchr(name, ' ')) return 0;
    size_t len = strlen(name);
    for (const char *at = strstr(extensions, name); at; at = strstr(at + 1, name)) {
        bool starts = at == extensions || at[-1] == ' ';
        bool ends = at[len] == 0 || at[len] == ' ';
        if (starts && ends) return 1;
    }
    return 0;
}

void gl_probe_parse(const char *vendor, const char *renderer, const char *version,
                    const char *extensions) {
    gl_info.vendor = vendor ? vendor : "NULL";
    gl_info.renderer = renderer ? renderer : "NULL";
    gl_info.version = version ? version : "NULL";
    gl_info.extensions = extensions ? extensions : "NULL";
    int major = 0, minor = 0;
    if (sscanf(gl_info.version, "%d.%d", &major, &minor) != 2) major = minor = 0;
    gl_info.version_major = major;
    gl_info.version_minor = minor;
    const char *e = gl_info.extensions;
    gl_info.arb_multitexture = gl_extension_present(e, "GL_ARB_multitexture");
    gl_info.arb_vertex_shader = gl_extension_present(e, "GL_ARB_vertex_shader");
    gl_info.arb_fragment_shader = gl_extension_present(e, "GL_ARB_fragment_shader");
    gl_info.sgis_generate_mipmap = gl_extension_present(e, "GL_SGIS_generate_mipmap");
    gl_info.ext_framebuffer_object = gl_extension_present(e, "GL_EXT_framebuffer_object");
    gl_info.texture_units = 1;
}

static const char *gl_string(GLenum which) {
    return (const char *)glGetString(which);
}

void gl_probe() {
    gl_probe_parse(gl_string(GL_VENDOR), gl_string(GL_RENDERER), gl_string(GL_VERSION),
                   gl_string(GL_EXTENSIONS));
#define GL_ENTRY_POINT_FETCH(type, name) gl_ext.name = (type)plyx_gl_proc_address(#name);
    GL_ENTRY_POINTS_MULTITEXTURE(GL_ENTRY_POINT_FETCH)
    GL_ENTRY_POINTS_FRAMEBUFFER(GL_ENTRY_POINT_FETCH)
    GL_ENTRY_POINTS_SHADER(GL_ENTRY_POINT_FETCH)
#undef GL_ENTRY_POINT_FETCH
    if (gl_info.arb_multitexture) {
        GLint units = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
        gl_info.texture_units = units;
        plyx_log("%d texture units\n", units);
    }
}

int gl_startup(int use_shader) {
    gl_probe();
    plyx_log("GL_VENDOR: %s\n", gl_info.vendor);
    plyx_log("GL_RENDERER: %s\n", gl_info.renderer);
    plyx_log("GL_VERSION: %s\n", gl_info.version);
    plyx_log("GL_EXTENSIONS: %s\n", gl_info.extensions);
    if (!use_shader || !gl_info.arb_fragment_shader || gl_info.texture_units < 4) return 0;
    return shader_build_all();
}
