// gfxshot: opens a 640 x 480 window, runs the graphics start-up (probe, shader programs,
// fonts and images), draws one scene and writes the back buffer as a PNG.
//
//   gfxshot [--out FILE] SCENE
//   scenes: splash | text | hud | loading TEXT | progress N |
//           texture NAME [--times t,...]   (one picture per time; "%d" in FILE is the time) |
//           model NAME [--texture NAME] [--distance D] [--bend DEG] |
//           terrain TRACK [--eye X,Y,Z --look X,Y,Z] [--above-decal I,H] [--frames N]
//                   [--ruts X0 Z0 X1 Z1 PASSES] [--dozer MODE SECONDS X Z]
//   --render-texture METHOD picks the "Terrain Rendering Method" (Software, Hardware/Copy,
//   Hardware/Direct, Shaders/Copy, Shaders/Direct).
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/folders.h"
#include "core/globals.h"
#include "core/loading.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "game/entry.h"
#include "game/frame_loop.h"
#include "game/loading_screen.h"
#include "game/settings_table.h"
#include "gfx/font.h"
#include "gfx/image.h"
#include "gfx/model.h"
#include "gfx/shader.h"
#include "gfx/texture.h"
#include "gfx/texture_anim.h"
#include "platform/plyx.h"
#include "present/hud.h"
#include "present/scene.h"
#include "race/track.h"
#include "tools/gfxshot/model_scene.h"
#include "tools/gfxshot/terrain_scene.h"
#include "ui/widget.h"

static const int shot_width = 640, shot_height = 480;

static double shot_time = 0;
static double shot_clock() {
    return shot_time;
}

static int usage() {
    fprintf(stderr,
            "usage: gfxshot [--out FILE] splash | text | hud | loading TEXT | progress N |\n"
            "               texture NAME [--times t,...] |\n"
            "               model NAME [--texture NAME] [--distance D] [--bend DEG] |\n"
            "               terrain TRACK [--eye X,Y,Z --look X,Y,Z] [--above-decal I,H] [--frames N]\n"
            "                       [--ruts X0 Z0 X1 Z1 PASSES] [--dozer MODE SECONDS X Z]\n"
            "       --render-texture METHOD (Software, Hardware/Copy, Hardware/Direct, Shaders/Copy,\n"
            "                                Shaders/Direct)\n");
    return 2;
}

// Pixel coordinates from the top-left corner, for the tool's own layouts.
static void shot_pixel_view() {
    glViewport(0, 0, shot_width, shot_height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, shot_width, shot_height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}

static void shot_quad(uint32_t texture, float x, float y, float size) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x, y);
    glTexCoord2f(1, 0);
    glVertex2f(x + size, y);
    glTexCoord2f(1, 1);
    glVertex2f(x + size, y + size);
    glTexCoord2f(0, 1);
    glVertex2f(x, y + size);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

static void shot_clear(float r, float g, float b) {
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The palette page: the 16 colours, then a shadowed, a centred and a right-aligned line, in a
// frame of 25 lines.
static void shot_text() {
    shot_clear(0.16f, 0.18f, 0.22f);
    scene_set_projection(shot_width, shot_height, (float)settings.fov.value);
    const float w = view_state.half_x, h = view_state.half_y;
    widget_push_lines_frame(25);
    std::string page;
    for (int i = 0; i < 16; i++) {
        char row[128];
        snprintf(row, sizeof row, "\x1b[%d;3%dm%2d ZR Simulator: whoops, berms and ruts 0123456789\n",
                 i >= 8 ? 1 : 22, i % 8, i);
        page += row;
    }
    font_draw_text(1, 1, 1, 1, page.c_str(), 0);
    float width = 25 * w / h;
    glTranslatef(0, -17, 0);
    font_draw_shadowed(1, 1, 1, 1, "A shadowed line: holeshot!");
    glTranslatef(0, -1, 0);
    font_draw_centered(1, 0.8f, 0.2f, 1, 0, width, "A centred line");
    glTranslatef(0, -1, 0);
    font_draw_right_shadowed(0.5f, 0.9f, 1, 1, width, "A right-aligned line");
    widget_pop_frame();
}

static void shot_hud() {
    shot_clear(0.35f, 0.5f, 0.3f);
    shot_pixel_view();
    shot_quad(hud_images.tach, 10, 140, 200);
    shot_quad(hud_images.shifter, 220, 140, 200);
    shot_quad(hud_images.pitboard, 430, 140, 200);
}

static void shot_texture(uint32_t texture) {
    shot_clear(0.3f, 0.45f, 0.6f);
    shot_pixel_view();
    shot_quad(texture, 80, 0, 480);
}

// Reads the back buffer and writes it: 1 on success.
static int shot_write(const std::string &name) {
    std::vector<unsigned char> pixels((size_t)shot_width * shot_height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, shot_width, shot_height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    if (!image_write_png_rgb(name.c_str(), pixels.data(), shot_width, shot_height)) {
        fprintf(stderr, "gfxshot: can't write %s\n", name.c_str());
        return 0;
    }
    return 1;
}

// The output name for one time: each "%d" becomes the number.
static std::string shot_name(const std::string &pattern, long time) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); i++) {
        if (pattern.compare(i, 2, "%d") == 0) {
            out += std::to_string(time);
            i++;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

static int shot_gl_ok() {
    GLenum e = glGetError();
    if (e == GL_NO_ERROR) return 1;
    fprintf(stderr, "gfxshot: GL error 0x%x\n", e);
    return 0;
}

struct shot_args {
    std::string out = "gfxshot.png";
    std::string scene, argument;
    std::vector<long> times;
    model_shot model;
    terrain_shot terrain;
    std::string render_texture;
};

// Comma-separated finite numbers, exactly count of them: 1, or 0.
static int shot_numbers(const std::string &text, double *out, int count) {
    size_t at = 0;
    for (int i = 0; i < count; i++) {
        size_t comma = text.find(',', at);
        if ((comma == std::string::npos) != (i == count - 1)) return 0;
        std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        char *end;
        out[i] = strtod(item.c_str(), &end);
        if (item.empty() || *end || !std::isfinite(out[i])) return 0;
        at = comma + 1;
    }
    return 1;
}

// A finite number filling the whole text: 1, or 0.
static int shot_number(const std::string &text, double *value) {
    char *end;
    *value = strtod(text.c_str(), &end);
    return !text.empty() && !*end && std::isfinite(*value);
}

static int shot_parse(int argc, char **argv, shot_args *a) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (int taken = edits_parse(argc, argv, &i, &a->terrain.edits)) {
            if (taken < 0) return 0;
            continue;
        }
        bool model_option = arg == "--texture" || arg == "--distance" || arg == "--bend";
        bool terrain_option = arg == "--eye" || arg == "--look" || arg == "--above-decal" ||
                              arg == "--frames" || arg == "--render-texture";
        if (terrain_option && i + 1 < argc) {
            std::string value = argv[++i];
            terrain_shot &t = a->terrain;
            if (arg == "--render-texture") {
                a->render_texture = value;
            } else if (arg == "--eye") {
                if (!shot_numbers(value, t.eye, 3)) return 0;
                t.eye_given = true;
            } else if (arg == "--look") {
                if (!shot_numbers(value, t.look, 3)) return 0;
                t.look_given = true;
            } else if (arg == "--above-decal") {
                double v[2];
                if (!shot_numbers(value, v, 2) || v[0] < 0 || v[0] > 65535 || v[0] != std::floor(v[0])) return 0;
                t.above_decal = (int)v[0];
                t.above_height = v[1];
            } else {
                double v;
                if (!shot_numbers(value, &v, 1) || v < 1 || v > 100000 || v != std::floor(v)) return 0;
                t.frames = (int)v;
            }
            continue;
        }
        if ((arg == "--out" || arg == "--times" || model_option) && i + 1 < argc) {
            std::string value = argv[++i];
            if (arg == "--out") {
                a->out = value;
                continue;
            }
            if (arg == "--texture") {
                a->model.texture = value;
                continue;
            }
            if (arg == "--distance") {
                if (!shot_number(value, &a->model.distance) || a->model.distance <= 0) return 0;
                continue;
            }
            if (arg == "--bend") {
                if (!shot_number(value, &a->model.bend_degrees)) return 0;
                continue;
            }
            for (size_t at = 0; at <= value.size();) {
                size_t comma = value.find(',', at);
                if (comma == std::string::npos) comma = value.size();
                char *end;
                std::string item = value.substr(at, comma - at);
                long t = strtol(item.c_str(), &end, 10);
                if (item.empty() || *end) return 0;
                a->times.push_back(t);
                at = comma + 1;
            }
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) return 0;
    a->scene = words[0];
    bool needs_argument = a->scene == "loading" || a->scene == "progress" ||
                          a->scene == "texture" || a->scene == "model" || a->scene == "terrain";
    if (words.size() != (needs_argument ? 2u : 1u)) return 0;
    if (needs_argument) a->argument = words[1];
    a->model.name = a->argument;
    a->terrain.track = a->argument;
    if (a->terrain.eye_given != a->terrain.look_given) return 0;
    return a->scene == "splash" || a->scene == "text" || a->scene == "hud" || needs_argument;
}

static int shot_run(const shot_args &a) {
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "gfxshot: can't find game data (set ZR_HOME)\n");
        return 1;
    }
    vfs_build_index();
    window_context *w = plyx_gl_open("gfxshot", shot_width, shot_height, 24 | OPEN_NO_MODE_SWITCH, 0,
                                     16, 0, 0);
    if (!w) {
        fprintf(stderr, "gfxshot: %s", plyx_last_error());
        return 1;
    }
    game_window = w;
    frame_io.now = shot_clock;
    // A new window may take a moment before it can be drawn into; wait at most 5 s.
    int ok = 0;
    for (int i = 0; i < 80 && !(ok = plyx_gl_begin_frame(w) != nullptr); i++) {
        uint32_t code;
        int pressed;
        while (plyx_input_next_event(w, &code, &pressed)) {
        }
        int late_s, late_us;
        plyx_sleep(0, 62500, &late_s, &late_us);
    }
    if (!ok) fprintf(stderr, "gfxshot: the window never became ready for drawing\n");
    if (ok) {
        // The start-up's own graphics steps, with the start-up values of the settings.
        settings_apply_graphics_preset(0);
        if (!a.render_texture.empty() && !choice_select_text(&settings.render_texture, a.render_texture.c_str())) {
            fprintf(stderr, "gfxshot: no terrain rendering method '%s'\n", a.render_texture.c_str());
            ok = 0;
        }
        choice_select_text(&settings.texture_compress, "No");   // judged by pixels: no lossy DXT1
        settings_derive();
        track_lighting_reset();  // the near and far planes of the projection
        startup_graphics();
        if (!font_main.gl_name || !font_numbers.pixels || !font_numbers_condensed.pixels ||
            !hud_images.tach || !hud_images.shifter || !hud_images.pitboard ||
            !loading_title_texture) {
            fprintf(stderr, "gfxshot: a stock font or image is missing\n");
            ok = 0;
        }
        printf("GL_VENDOR: %s\nGL_RENDERER: %s\nGL_VERSION: %s\nGL_EXTENSIONS: %s\n", gl_info.vendor,
               gl_info.renderer, gl_info.version, gl_info.extensions);
        printf("%d texture units\n", gl_info.texture_units);
        printf("shaders_active=%d\n", game_settings.shaders_active);
    }
    if (ok) {
        if (a.scene == "splash" || a.scene == "loading") {
            scene_set_projection(shot_width, shot_height, (float)settings.fov.value);
            loading_draw_screen(a.argument.c_str());
        } else if (a.scene == "progress") {
            // Drawn once to start the fade-in, then again after it.
            uint32_t counter = (uint32_t)strtoul(a.argument.c_str(), nullptr, 10);
            scene_set_projection(shot_width, shot_height, (float)settings.fov.value);
            loading_draw_progress(counter);
            shot_time += 0.5;
            loading_draw_progress(counter);
        } else if (a.scene == "text") {
            shot_text();
        } else if (a.scene == "hud") {
            shot_hud();
        } else if (a.scene == "model") {
            ok = shot_model(a.model, shot_width, shot_height);
        } else if (a.scene == "terrain") {
            ok = shot_terrain(a.terrain, shot_width, shot_height);
        }
        if (a.scene == "texture") {
            uint32_t texture = tex_load(a.argument.c_str());
            if (!texture) {
                fprintf(stderr, "gfxshot: can't load %s\n", a.argument.c_str());
                ok = 0;
            }
            std::vector<long> times = a.times.empty() ? std::vector<long>{0} : a.times;
            for (size_t i = 0; ok && i < times.size(); i++) {
                tex_update_anims((int32_t)times[i]);
                shot_texture(texture);
                ok = shot_gl_ok() && shot_write(shot_name(a.out, times[i]));
            }
        } else {
            ok = ok && shot_gl_ok() && shot_write(a.out);
        }
        plyx_gl_end_frame(w);
    }
    if (track_name) track_unload();
    font_free_all();
    model_purge(1);
    tex_purge(1);
    game_window = nullptr;
    plyx_gl_close(w);
    vfs_shutdown();
    return ok ? 0 : 1;
}

int main(int argc, char **argv) {
    shot_args a;
    if (!shot_parse(argc, argv, &a)) return usage();
    int code = shot_run(a);
    plyx_log(nullptr);
    plyx_shutdown();
    return code;
}
