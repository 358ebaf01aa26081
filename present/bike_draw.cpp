// A rider slot's bike and rider drawn from copies of its bodies: the parts, the rider skinned to
// its posed bones, the head, the plates, then the reflection pass over the chrome.
#include "present/bike_draw.h"

#include <GL/gl.h>

#include "core/settings.h"
#include "gfx/model.h"
#include "gfx/shader.h"
#include "present/pose.h"
#include "present/robot_markers.h"
#include "present/scene.h"

void (*bike_draw_hook)(const bike_draw_call &call) = nullptr;

namespace {

// One model drawn in the ordinary pass, kept for the reflection pass.
struct drawn_part {
    int part;
    int body;                  // bike body order, -1 the head
    model_mesh *model;
    uint32_t normal_map;
    const body_pose *pose;     // where it is placed
    const rider_skin *skin;    // null: rigid
};

struct bike_draw_state {
    const float *eye;
    drawn_part parts[DRAW_PARTS];
    int count;
};

}  // namespace

static void push_pose(const body_pose &b) {
    glPushMatrix();
    glTranslatef(b.position[0], b.position[1], b.position[2]);
    const float *r = b.rotation;
    GLfloat m[16] = {r[0], r[3], r[6], 0, r[1], r[4], r[7], 0, r[2], r[5], r[8], 0, 0, 0, 0, 1};
    glMultMatrixf(m);
}

void draw_push_body_matrix(dBodyID body, float position[3], float rotation[9]) {
    body_pose b = body_pose_read(body);
    push_pose(b);
    for (int i = 0; i < 3; i++) position[i] = b.position[i];
    for (int i = 0; i < 9; i++) rotation[i] = b.rotation[i];
}

void draw_begin_lit_pass() {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat material[4] = {1, 1, 1, draw_alpha};
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, material);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void draw_bind_texture(uint32_t texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    render_stats.texture_binds++;
}

void draw_bind_unit(int unit, uint32_t texture) {
    gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    if (texture) {
        glEnable(GL_TEXTURE_2D);
        draw_bind_texture(texture);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

static void bind_texture_set(uint32_t colour, uint32_t normal, uint32_t specular) {
    if (game_settings.shaders_active) {
        draw_bind_unit(2, normal && specular ? specular : 0);
        draw_bind_unit(1, normal);
        gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
        shader_use(normal && specular ? SHADER_SLOT_NORM_SPEC_LIT
                   : normal           ? SHADER_SLOT_NORM_LIT
                                      : SHADER_SLOT_LIT);
    }
    draw_bind_texture(colour);
}

static void bind_reflection(uint32_t normal) {
    if (!game_settings.shaders_active) return;
    draw_bind_unit(1, normal);
    gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    shader_use(normal ? SHADER_SLOT_NORM_ENV : SHADER_SLOT_ENV);
}

static void record(int part, int body, uint32_t texture, int skinned, int reflection) {
    if (bike_draw_hook) bike_draw_hook({part, body, texture, draw_alpha, skinned, reflection});
}

// Draws one part (rigid on its body, or skinned on the rider body) and keeps it for the
// reflection pass.
static void draw_part(bike_draw_state &st, int part, int body, model_mesh *model,
                      uint32_t texture, uint32_t normal, const body_pose &pose,
                      const rider_skin *skin) {
    if (!model) return;
    record(part, body, texture, skin != nullptr, 0);
    push_pose(pose);
    if (skin)
        model_draw_skinned(model, st.eye, pose.position, pose.rotation, skin->centres,
                           skin->translations, skin->rotations, POSE_BONES);
    else
        model_draw(model, st.eye, pose.position, pose.rotation);
    glPopMatrix();
    st.parts[st.count++] = {part, body, model, normal, &pose, skin};
}

// The skin for a model, or null when its bones are not the rider's nine (drawn at rest).
static const rider_skin *skin_for(const model_mesh *model, const rider_skin *skin) {
    return model && model->bone_count == POSE_BONES ? skin : nullptr;
}

void draw_bike_and_rider(rider_slot *s, int mode, const float eye[3]) {
    if (!s || !bike_frame_body(s)) return;
    const bike_info *row = bike_row_of(s);
    body_pose bodies[BIKE_BODIES];
    for (int k = 0; k < BIKE_BODIES; k++) bodies[k] = body_pose_read(bike_body_of(s, k));
    // The rider leans back off the bars for the picture only.
    body_pose &rider = bodies[BIKE_BODY_RIDER];
    if (row) rider_display_tilt(&rider, row, bodies[BIKE_BODY_FORK_UPPER]);

    bike_draw_state st = {eye, {}, 0};
    draw_begin_lit_pass();

    bool onboard = mode == DRAW_MODE_ONBOARD_HIDDEN || mode == DRAW_MODE_ONBOARD;
    bool rear_hidden = onboard && s->respawn_counter == 0;
    bind_texture_set(s->bike_texture, s->bike_normal_map, s->bike_specular_map);
    draw_part(st, DRAW_FRAME, BIKE_BODY_FRAME, s->frame_model, s->bike_texture, s->bike_normal_map,
              bodies[BIKE_BODY_FRAME], nullptr);
    draw_part(st, DRAW_FORK_UPPER, BIKE_BODY_FORK_UPPER, s->fork_upper_model, s->bike_texture,
              s->bike_normal_map, bodies[BIKE_BODY_FORK_UPPER], nullptr);
    draw_part(st, DRAW_FORK_LOWER, BIKE_BODY_FORK_LOWER, s->fork_lower_model, s->bike_texture,
              s->bike_normal_map, bodies[BIKE_BODY_FORK_LOWER], nullptr);
    if (!rear_hidden)
        draw_part(st, DRAW_SWINGARM, BIKE_BODY_SWINGARM, s->swingarm_model, s->bike_texture,
                  s->bike_normal_map, bodies[BIKE_BODY_SWINGARM], nullptr);

    bind_texture_set(s->wheels_texture, s->wheels_normal_map, s->wheels_specular_map);
    draw_part(st, DRAW_FRONT_WHEEL, BIKE_BODY_FRONT_WHEEL, s->front_wheel_model, s->wheels_texture,
              s->wheels_normal_map, bodies[BIKE_BODY_FRONT_WHEEL], nullptr);
    if (!rear_hidden)
        draw_part(st, DRAW_REAR_WHEEL, BIKE_BODY_REAR_WHEEL, s->rear_wheel_model,
                  s->wheels_texture, s->wheels_normal_map, bodies[BIKE_BODY_REAR_WHEEL], nullptr);

    rider_pose pose;
    rider_skin skin;
    const rider_skin *posed = nullptr;
    const rider_pose *rest = row ? rider_rest_pose(row) : nullptr;
    if (mode != DRAW_MODE_ONBOARD_HIDDEN && s->body_model && rest) {
        vec3 feet[2];
        rider_pose_points(s, &feet[0], &feet[1], nullptr, nullptr);
        rider_pose_compute(&pose, row, bodies, feet, s->controls.throttle);
        rider_pose_skin(&skin, pose, *rest, rider);
        posed = &skin;
        bind_texture_set(s->body_texture, s->body_normal_map, s->body_specular_map);
        bool fp = mode == DRAW_MODE_ONBOARD && s->body_fp_model;
        model_mesh *body = fp ? s->body_fp_model : s->body_model;
        draw_part(st, fp ? DRAW_BODY_FP : DRAW_BODY, BIKE_BODY_RIDER, body, s->body_texture,
                  s->body_normal_map, rider, skin_for(body, posed));
    }

    body_pose head = body_pose_read(nullptr);
    if (mode == DRAW_MODE_NORMAL && s->head_model && row) {
        bind_texture_set(s->head_texture, s->head_normal_map, s->head_specular_map);
        vec3 at;
        rider_pose_head(&at, head.rotation, row, rider);
        head.position[0] = at.x;
        head.position[1] = at.y;
        head.position[2] = at.z;
        draw_part(st, DRAW_HEAD, -1, s->head_model, s->head_texture, s->head_normal_map, head,
                  nullptr);
    }

    bind_texture_set(s->number_plate_texture, 0, 0);
    draw_part(st, DRAW_FRONT_PLATE, BIKE_BODY_FORK_UPPER, s->front_plate_model,
              s->number_plate_texture, 0, bodies[BIKE_BODY_FORK_UPPER], nullptr);
    draw_part(st, DRAW_SIDE_PLATES, BIKE_BODY_FRAME, s->side_plates_model, s->number_plate_texture,
              0, bodies[BIKE_BODY_FRAME], nullptr);
    if (mode == DRAW_MODE_NORMAL && posed)
        draw_part(st, DRAW_RIDER_PLATE, BIKE_BODY_RIDER, s->rider_plate_model,
                  s->number_plate_texture, 0, rider, skin_for(s->rider_plate_model, posed));

    // The chrome mirrors the sky; without an environment texture there is nothing to mirror.
    glDisable(GL_LIGHTING);
    glBlendFunc(GL_ONE, GL_ONE);
    uint32_t env = scene_environment_texture();
    if (env) {
        draw_bind_texture(env);
        for (int i = 0; i < st.count; i++) {
            const drawn_part &p = st.parts[i];
            if (!model_has_reflection(p.model)) continue;
            bind_reflection(p.normal_map);
            record(p.part, p.body, env, p.skin != nullptr, 1);
            push_pose(*p.pose);
            if (p.skin)
                model_draw_reflection_skinned(p.model, eye, p.pose->position, p.pose->rotation,
                                              p.skin->centres, p.skin->translations,
                                              p.skin->rotations, POSE_BONES);
            else
                model_draw_reflection(p.model, eye, p.pose->position, p.pose->rotation);
            glPopMatrix();
        }
    }
    if (game_settings.shaders_active) {
        draw_bind_unit(1, 0);
        gl_ext.glActiveTextureARB(GL_TEXTURE0_ARB);
        shader_use(SHADER_SLOT_FIXED);
    }
    if (game_settings.debug_level >= 2) {
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        draw_robot_markers(s);
    }
}
