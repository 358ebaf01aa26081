// The GLSL sources of the seven built-in programs (GLSL 1.10: no version line). Vertex inputs:
// position, normal, colour, texture set 0 (surface uv), set 1 (tangent), set 2 (four bone
// weights), set 3 (four bone numbers).
#include <string>

#include "gfx/shader.h"

// Sources are put together from shared pieces at start-up.

// The skinned vertex stage shared by slots 1-5: normal, tangent and the eye-space position
// "viewer", rigid without bones, else summed over four bone influences.
static const char skin_vertex[] = R"(#define MAX_BONE 32
uniform int nbones;
uniform vec3 bone_c[MAX_BONE];
uniform vec3 bone_t[MAX_BONE];
uniform mat3 bone_r[MAX_BONE];
varying vec3 normal;
varying vec3 tangent;
varying vec3 viewer;
void influence(float w, float bone, inout vec3 v, inout vec3 n, inout vec3 t) {
    int b = int(clamp(bone, 0.0, float(MAX_BONE - 1)));
    v += w * (bone_r[b] * (gl_Vertex.xyz - bone_c[b]) + bone_t[b]);
    n += w * (bone_r[b] * gl_Normal);
    t += w * (bone_r[b] * gl_MultiTexCoord1.xyz);
}
void skin() {
    if (nbones == 0) {
        normal = normalize(gl_NormalMatrix * gl_Normal);
        tangent = normalize(gl_NormalMatrix * gl_MultiTexCoord1.xyz);
        vec4 eye = gl_ModelViewMatrix * gl_Vertex;
        viewer = eye.xyz / eye.w;
        gl_Position = ftransform();
    } else {
        vec3 v = vec3(0.0), n = vec3(0.0), t = vec3(0.0);
        vec4 w = gl_MultiTexCoord2, b = gl_MultiTexCoord3;
        influence(w.x, b.x, v, n, t);
        influence(w.y, b.y, v, n, t);
        influence(w.z, b.z, v, n, t);
        influence(w.w, b.w, v, n, t);
        viewer = (gl_ModelViewMatrix * vec4(v, 1.0)).xyz;
        normal = normalize(gl_NormalMatrix * n);
        tangent = normalize(gl_NormalMatrix * t);
        gl_Position = gl_ModelViewProjectionMatrix * vec4(v, 1.0);
    }
}
)";

static const char lit_outputs[] = R"(varying vec3 light;
varying vec4 diffuse;
varying vec4 ambient;
void lit_outputs() {
    light = normalize(gl_LightSource[0].position.xyz);
    diffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;
    ambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient +
              gl_LightModel.ambient * gl_FrontMaterial.ambient;
    ambient.a = min(ambient.a, 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
)";

static const std::string lit_vertex = std::string(skin_vertex) + lit_outputs + R"(
void main() {
    skin();
    lit_outputs();
}
)";

static const std::string env_vertex = std::string(skin_vertex) + R"(varying vec4 color;
void main() {
    skin();
    color = gl_Color;
}
)";

static const std::string norm_env_vertex = std::string(skin_vertex) + R"(varying vec4 color;
void main() {
    skin();
    color = gl_Color;
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
)";

// Fragment helpers: the specular power kept finite where the reflection term is 0, the fog,
// and the normal perturbed by the normal map.
static const char fragment_common[] = R"(#define MAX_BONE 32
float spec_pow(float r, float e) {
    return r > 0.0 ? pow(r, e) : 0.0;
}
vec3 fog(vec3 rgb) {
    float z = gl_FragCoord.z / gl_FragCoord.w;
    float f = clamp(exp2(-1.4426950408889634 * gl_Fog.density * z), 0.0, 1.0);
    return mix(gl_Fog.color.rgb, rgb, f);
}
)";

static const char perturb[] = R"(uniform sampler2D nmap;
varying vec3 tangent;
vec3 perturbed_normal() {
    vec3 n = normalize(normal);
    vec3 t = normalize(tangent - n * dot(n, tangent));
    vec3 b = cross(n, t);
    vec3 m = texture2D(nmap, gl_TexCoord[0].st).xyz * 2.0 - 1.0;
    return normalize(mat3(t, b, n) * m);
}
)";

static const char lit_inputs[] = R"(uniform sampler2D tex;
varying vec3 normal;
varying vec3 viewer;
varying vec3 light;
varying vec4 diffuse;
varying vec4 ambient;
)";

// Diffuse and ambient with the texture, given the normal; the specular term is added by the
// caller from the returned reflection factor.
static const char lit_body[] = R"(
vec4 lit(vec3 n, out float rdl, out float alpha) {
    float ndl = dot(n, light);
    rdl = max(dot(reflect(normalize(viewer), n), light), 0.0);
    if (ndl < 0.0) {
        ndl = 0.0;
        rdl = 0.0;
    }
    vec4 c = ambient;
    c.rgb += diffuse.rgb * ndl;
    vec4 t = texture2D(tex, gl_TexCoord[0].st);
    alpha = ambient.a * t.a;
    return c * t;
}
)";

static const std::string lit_fragment = std::string(fragment_common) + lit_inputs + lit_body + R"(
void main() {
    float rdl, alpha;
    vec4 c = lit(normalize(normal), rdl, alpha);
    c.rgb += gl_FrontMaterial.specular.rgb * gl_LightSource[0].specular.rgb *
             spec_pow(rdl, gl_FrontMaterial.shininess);
    gl_FragColor = vec4(fog(c.rgb), alpha);
}
)";

static const std::string norm_lit_fragment = std::string(fragment_common) + lit_inputs + perturb + lit_body + R"(
void main() {
    float rdl, alpha;
    vec4 c = lit(perturbed_normal(), rdl, alpha);
    c.rgb += gl_FrontMaterial.specular.rgb * gl_LightSource[0].specular.rgb *
             spec_pow(rdl, gl_FrontMaterial.shininess);
    gl_FragColor = vec4(fog(c.rgb), alpha);
}
)";

static const std::string norm_spec_lit_fragment = std::string(fragment_common) + lit_inputs + perturb + lit_body + R"(
uniform sampler2D smap;
void main() {
    float rdl, alpha;
    vec4 c = lit(perturbed_normal(), rdl, alpha);
    vec4 s = texture2D(smap, gl_TexCoord[0].st);
    float e = s.a * 128.0 + 0.125;
    if (e >= 127.875) e = gl_FrontMaterial.shininess;
    c.rgb += s.rgb * gl_LightSource[0].specular.rgb * spec_pow(rdl, e);
    gl_FragColor = vec4(fog(c.rgb), alpha);
}
)";

// Sphere-map lookup of a reflected direction: straight up is the centre of the map, straight
// down the circle of radius 0.5 (and the centre where the direction has no sideways part).
static const char env_body[] = R"(uniform sampler2D tex;
uniform mat3 envmat;
varying vec3 normal;
varying vec3 viewer;
varying vec4 color;
vec4 env(vec3 n) {
    vec3 v = normalize(envmat * reflect(viewer, n));
    float side = length(v.xz);
    vec2 t = side < 1e-6 ? vec2(0.0)
                         : (v.xz / side) * (acos(clamp(v.y, -1.0, 1.0)) * 0.15915494309189535);
    return texture2D(tex, t + 0.5) * color;
}
)";

static const std::string env_fragment = std::string(fragment_common) + env_body + R"(
void main() {
    gl_FragColor = env(normalize(normal));
}
)";

static const std::string norm_env_fragment = std::string(fragment_common) + env_body + perturb + R"(
void main() {
    gl_FragColor = env(perturbed_normal());
}
)";

static const char terrain_normals_vertex[] = R"(#define MAX_BONE 32
varying vec2 tc;
void main() {
    vec4 p = gl_TextureMatrix[1] * gl_Vertex;
    tc = p.xy / p.w;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
)";

// The detail normal map turned into the frame of the base normal map. Rebuilt y components
// take sqrt of at least 0, so texels whose x and z are too long give 0, not NaN.
static const char terrain_normals_fragment[] = R"(#define MAX_BONE 32
uniform sampler2D tex;
uniform sampler2D base;
varying vec2 tc;
void main() {
    vec2 c0 = normalize(vec2(dFdx(gl_TexCoord[0].s), -dFdy(gl_TexCoord[0].s)));
    mat2 m = mat2(c0, vec2(-c0.y, c0.x));
    vec4 d = texture2D(tex, gl_TexCoord[0].st);
    vec3 detail = vec3(d.r, d.b, d.g) * 2.0 - 1.0;
    detail.x = -detail.x;
    detail.xz = detail.xz * m;
    vec4 b = texture2D(base, tc);
    float baselen = b.g;
    float x = b.r * 2.0 - 1.0, z = b.b * 2.0 - 1.0;
    vec3 r0 = vec3(1.0, 0.0, 0.0);
    vec3 r1 = vec3(x, sqrt(max(0.0, 1.0 - z * z - x * x)), z);
    vec3 r2 = normalize(cross(r0, r1));
    r0 = normalize(cross(r1, r2));
    vec3 n = normalize(mat3(r0, r1, r2) * detail);
    if (n.x * n.x + n.z * n.z > (126.0 / 128.0) * (126.0 / 128.0))
        n = normalize(vec3(n.x, 0.0, n.z)) * (126.0 / 128.0);
    vec3 rgb = (n + 1.0) * 0.5;
    gl_FragColor = vec4(rgb.r, baselen, rgb.b, d.a);
}
)";

static const char terrain_vertex[] = R"(#define MAX_BONE 32
varying vec3 viewer;
varying vec3 light;
varying vec4 diffuse;
varying vec4 ambient;
void main() {
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    viewer = eye.xyz / eye.w;
    light = normalize(gl_LightSource[0].position.xyz);
    diffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;
    ambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient;
    ambient.a = min(ambient.a, 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
)";

static const std::string terrain_fragment = std::string(fragment_common) + R"(uniform sampler2D tex;
uniform sampler2D nmap;
uniform sampler2D smap;
varying vec3 viewer;
varying vec3 light;
varying vec4 diffuse;
varying vec4 ambient;
void main() {
    vec4 nm = texture2D(nmap, gl_TexCoord[0].st);
    float len = nm.g;
    float x = nm.r * 2.0 - 1.0, z = nm.b * 2.0 - 1.0;
    vec3 n = normalize(gl_NormalMatrix * vec3(x, sqrt(max(0.0, 1.0 - z * z - x * x)), z));
    float ndl = dot(n, light);
    float rdl = max(dot(reflect(normalize(viewer), n), light), 0.0);
    if (ndl < 0.0) {
        ndl = 0.0;
        rdl = 0.0;
    }
    vec4 c = ambient;
    c.rgb += diffuse.rgb * ndl * len;
    vec4 t = texture2D(tex, gl_TexCoord[0].st);
    c *= t;
    vec4 s = texture2D(smap, gl_TexCoord[0].st);
    c.rgb += s.r * gl_LightSource[0].specular.rgb * spec_pow(rdl, s.g * 128.0 + 0.125) * len;
    gl_FragColor = vec4(fog(c.rgb), ambient.a * t.a);
}
)";

shader_source shader_sources[8] = {
    {"fixed", nullptr, nullptr},
    {"lit", lit_vertex.c_str(), lit_fragment.c_str()},
    {"env", env_vertex.c_str(), env_fragment.c_str()},
    {"norm_lit", lit_vertex.c_str(), norm_lit_fragment.c_str()},
    {"norm_env", norm_env_vertex.c_str(), norm_env_fragment.c_str()},
    {"norm_spec_lit", lit_vertex.c_str(), norm_spec_lit_fragment.c_str()},
    {"terrain_normals", terrain_normals_vertex, terrain_normals_fragment},
    {"terrain", terrain_vertex, terrain_fragment.c_str()},
};
