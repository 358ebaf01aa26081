// Drawing the terrain: the refinement of the quadtree for the eye (forced levels, the texture
// windows, the error spheres) and the walk that draws it as crack-free triangle fans.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstring>

#include "core/settings.h"
#include "gfx/shader.h"
#include "terrain/terrain.h"
#include "terrain/tile.h"

static terrain_fan_capture_fn draw_capture;
static void *draw_capture_user;

void terrain_set_fan_capture(terrain_fan_capture_fn fn, void *user) {
    draw_capture = fn;
    draw_capture_user = user;
}

static inline size_t draw_base(int i) {
    return (size_t)((((int64_t)1 << (2 * i)) - 1) / 3);
}

int terrain_view_cell(float eye, float spacing, int last) {
    float c = eye / spacing;
    if (c != c) return last;
    if (!(c > -(float)TERRAIN_VIEW_CELL_MAX)) return -TERRAIN_VIEW_CELL_MAX;
    if (!(c < (float)TERRAIN_VIEW_CELL_MAX)) return TERRAIN_VIEW_CELL_MAX;
    return (int)floorf(c);
}

// Step 4: the nodes under each texture level's window, level k up to 1.
static void draw_refine_windows(terrain_field *f) {
    int k = f->k, fine_start[2] = {0, 0}, fine_end[2] = {0, 0};
    int view[2] = {f->last_view_x, f->last_view_z};
    for (int i = k; i >= 1; i--) {
        int e = k - i, side = 1 << i;
        int start[2], end[2];
        for (int a = 0; a < 2; a++) {
            int o = tile_window_origin(view[a], e, k);
            start[a] = o;
            end[a] = o + 4;   // exclusive
            if (i < k) {
                if (fine_end[a] == 2 * end[a]) end[a]++;
                if (fine_start[a] == 2 * start[a]) start[a]--;
            }
            fine_start[a] = o;
            fine_end[a] = o + 4;
            if (start[a] < 0) start[a] = 0;
            if (end[a] > side) end[a] = side;
        }
        size_t base = draw_base(i);
        for (int z = start[1]; z < end[1]; z++)
            for (int x = start[0]; x < end[0]; x++) terrain_bit_set(f->node_bits, base + ((size_t)z << i) + x);
    }
}

// Step 5: a node whose error sphere holds the eye is refined and its children tested.
static void draw_refine_distance(terrain_field *f, int i, int j, int r) {
    size_t node = draw_base(i) + ((size_t)r << i) + j;
    float s = (float)((2 << f->k) >> i) * f->spacing;
    float cx = ((float)j + 0.5f) * s - f->eye[0], cz = ((float)r + 0.5f) * s - f->eye[2];
    if (!(f->node_bounds[node] > cx * cx + cz * cz)) return;
    terrain_bit_set(f->node_bits, node);
    if (i == f->k) return;
    for (int c = 0; c < 4; c++) draw_refine_distance(f, i + 1, 2 * j + (c & 1), 2 * r + (c >> 1));
}

void terrain_refine(terrain_field *f) {
    f->last_view_x = terrain_view_cell(f->eye[0], f->spacing, f->last_view_x);
    f->last_view_z = terrain_view_cell(f->eye[2], f->spacing, f->last_view_z);
    f->view_octant = (f->view_direction[0] >= 0) | (f->view_direction[1] >= 0) << 1 |
                     (f->view_direction[2] >= 0) << 2;
    size_t nodes = (size_t)terrain_node_count(f->k);
    memset(f->node_bits, 0, terrain_bit_bytes(nodes));
    size_t forced = draw_base(f->k - 5) + 1;
    for (size_t i = 0; i < forced; i++) terrain_bit_set(f->node_bits, i);
    draw_refine_windows(f);
    draw_refine_distance(f, 0, 0, 0);
}

namespace {
// What one draw keeps between fans.
struct draw_state {
    terrain_field *f;
    int arrays;
    float xyz[10 * 3];
    float uv[10 * 2];
};
}  // namespace

static const int draw_ring[8][2] = {{0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}};

static inline int draw_walked(const terrain_field *f, int i, int j, int r) {
    int side = 1 << i;
    if (j < 0 || r < 0 || j >= side || r >= side) return -1;   // no such node
    return terrain_bit(f->node_bits, draw_base(i) + ((size_t)r << i) + j);
}

// A fan from the node's centre over count ring points from direction start (texture level e).
static void draw_fan(draw_state &d, int i, int j, int r, int start, int count, int e) {
    terrain_field *f = d.f;
    int s = (2 << f->k) >> i, h = s / 2;
    int cx = j * s + h, cz = r * s + h;
    int g = 2 << e;
    int x0 = cx / g * g, z0 = cz / g * g;
    float ig = 1.0f / (float)g;
    int points = 0;
    auto put = [&](int x, int z) {
        float *p = d.xyz + 3 * points;
        p[0] = (float)x * f->spacing;
        p[1] = f->heights[x + (size_t)f->n * z];
        p[2] = (float)z * f->spacing;
        d.uv[2 * points] = (float)(x - x0) * ig;
        d.uv[2 * points + 1] = (float)(z - z0) * ig;
        points++;
    };
    put(cx, cz);
    for (int t = 0; t < count; t++) {
        int dir = (start + t) & 7;
        int dx = draw_ring[dir][0], dz = draw_ring[dir][1];
        if (!(dir & 1)) {
            // An edge midpoint where the neighbour across is walked (it meets that neighbour's
            // finer vertices), and on the field's edge, where the fan must still meet its own
            // walked children; left out only beside an unwalked neighbour.
            if (draw_walked(f, i, j + dx, r + dz) == 0) continue;
        }
        put(cx + dx * h, cz + dz * h);
    }
    f->vertices_drawn += points - 1;
    if (points < 3) return;
    if (draw_capture)
        for (int t = 1; t + 1 < points; t++) {
            float tri[9];
            memcpy(tri, d.xyz, 3 * sizeof(float));
            memcpy(tri + 3, d.xyz + 3 * t, 6 * sizeof(float));
            draw_capture(tri, e, draw_capture_user);
        }
    if (d.arrays) {
        glDrawArrays(GL_TRIANGLE_FAN, 0, points);
        return;
    }
    glColor3f(1, 1, 1);
    glBegin(GL_TRIANGLE_FAN);
    for (int p = 0; p < points; p++) {
        glTexCoord2fv(d.uv + 2 * p);
        glVertex3fv(d.xyz + 3 * p);
    }
    glEnd();
}

static void draw_node(draw_state &d, int i, int j, int r);

// Binds the node's texture level (from the finest level its size allows) and draws a fan.
static void draw_node_fan(draw_state &d, int i, int j, int r, int start, int count) {
    terrain_field *f = d.f;
    int first = f->k - i, finest = tile_finest_level();
    int e = tile_choose_level(f, i, j, r, first > finest ? first : finest);
    terrain_bind_tile_textures(f, i, j, r, e);
    draw_fan(d, i, j, r, start, count, e);
}

static void draw_node(draw_state &d, int i, int j, int r) {
    terrain_field *f = d.f;
    int k = f->k;
    // Culling by the node's corner farthest along the view direction.
    float s = (float)((2 << k) >> i) * f->spacing;
    const float *v = f->view_direction;
    float corner[3] = {v[0] >= 0 ? (float)(j + 1) * s : (float)j * s, v[1] >= 0 ? f->max_height : f->min_height,
                       v[2] >= 0 ? (float)(r + 1) * s : (float)r * s};
    float dot = 0;
    for (int a = 0; a < 3; a++) dot += (corner[a] - f->eye[a]) * v[a];
    if (dot < 0) return;
    if (i == k) {
        draw_node_fan(d, i, j, r, 1, 9);
        return;
    }
    int cells = (2 << k) >> i;
    int mid_x = j * cells + cells / 2, mid_z = r * cells + cells / 2;
    int q = (f->last_view_x >= mid_x) | (f->last_view_z >= mid_z) << 1;
    static const int order[4][4] = {{0, 1, 2, 3}, {1, 3, 0, 2}, {2, 0, 3, 1}, {3, 2, 1, 0}};
    static const int rotation[4] = {0, 6, 2, 4};
    int cj[4], cr[4], mask = 0;
    for (int n = 0; n < 4; n++) {
        int c = order[q][n];
        cj[n] = 2 * j + (c & 1);
        cr[n] = 2 * r + (c >> 1);
        if (draw_walked(f, i + 1, cj[n], cr[n]) == 1) mask |= 1 << n;
    }
    int rot = rotation[q];
    auto fan = [&](int start, int count) { draw_node_fan(d, i, j, r, (start + rot) & 7, count); };
    auto walk = [&](int n) { draw_node(d, i + 1, cj[n], cr[n]); };
    switch (mask) {
        case 0: draw_node_fan(d, i, j, r, 1, 9); return;
        case 15: walk(3), walk(2), walk(1), walk(0); return;
        case 2: fan(3, 4), walk(1), fan(0, 4); return;
        case 4: fan(4, 4), walk(2), fan(7, 4); return;
        case 6: fan(4, 3), walk(1), walk(2), fan(0, 3); return;
        case 9: walk(3), fan(6, 3), fan(2, 3), walk(0); return;
        default: break;
    }
    static const int table[16][2] = {{0, 0}, {2, 7}, {0, 0}, {2, 5}, {0, 0}, {4, 5}, {0, 0}, {4, 3},
                                     {6, 7}, {0, 0}, {0, 5}, {2, 3}, {6, 5}, {6, 3}, {0, 3}, {0, 0}};
    int fs = table[mask][0], fc = table[mask][1];
    if (mask & 8) {
        walk(3);
        if (mask & 4) walk(2);
        if (mask & 2) walk(1);
        fan(fs, fc);
    } else {
        fan(fs, fc);
        if (mask & 4) walk(2);
        if (mask & 2) walk(1);
    }
    if (mask & 1) walk(0);
}

void terrain_draw(terrain_field *f) {
    if (!f->heights || !f->node_bits) return;
    f->bound_texture = 0;
    f->bound_level = -1;
    f->vertices_drawn = 0;
    draw_state d = {};
    d.f = f;
    d.arrays = !game_settings.no_vertex_arrays;
    if (d.arrays) {
        glVertexPointer(3, GL_FLOAT, 0, d.xyz);
        glTexCoordPointer(2, GL_FLOAT, 0, d.uv);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glColor3f(1, 1, 1);
    }
    terrain_refine(f);
    glDisable(GL_BLEND);
    int units = f->extra_maps && gl_info.arb_multitexture ? 3 : 1;
    for (int u = units - 1; u >= 0; u--) {
        if (gl_info.arb_multitexture) gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB + u);
        glEnable(GL_TEXTURE_2D);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    // The lit path: the ground's colour is lit by the sun as the shading lights it.
    static const GLfloat white[4] = {1, 1, 1, 1}, ambient[4] = {0.2f, 0.2f, 0.2f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
    if (f->extra_maps) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
        shader_use(SHADER_SLOT_TERRAIN);
    }
    draw_node(d, 0, 0, 0);
    shader_use(SHADER_SLOT_FIXED);
    if (f->extra_maps) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    }
    for (int u = units - 1; u >= 0; u--) {
        if (gl_info.arb_multitexture) gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB + u);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (d.arrays) {
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    f->texture_update_counter = f->texture_update_counter >= 2147483647 ? 1 : f->texture_update_counter + 1;
}
