// Loading a bike into a rider slot: row, shapes, textures and skins, models, the number plate,
// the seven bodies with their masses and the six joints; and freeing it again.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/console.h"
#include "core/mem.h"
#include "core/settings.h"
#include "gfx/model.h"
#include "gfx/shader.h"
#include "gfx/texture.h"

char *replace_suffix(const char *text, const char *suffix, const char *new_suffix) {
    if (!text || !suffix || !new_suffix) return nullptr;
    size_t n = strlen(text), m = strlen(suffix), k = strlen(new_suffix);
    if (m > n || strcmp(text + n - m, suffix) != 0) return nullptr;
    char *out = (char *)mem_alloc_or_die(n - m + k + 1);
    memcpy(out, text, n - m);
    memcpy(out + n - m, new_suffix, k + 1);
    return out;
}

static const char *after_last_slash(const char *s) {
    const char *slash = strrchr(s, '/');
    return slash ? slash + 1 : s;
}

char *bike_part_path(const char *name, const char *texture, const char *extension) {
    if (!name || !texture || !extension) return nullptr;
    const char *file = after_last_slash(name);
    const char *cut = strchr(file, '-');
    if (!cut) {
        cut = strrchr(name, '.');
        if (!cut || strchr(cut, '/')) return nullptr;
    }
    const char *tfile = after_last_slash(texture);
    const char *first = strchr(tfile, '-');
    if (!first) return nullptr;
    const char *second = strchr(first + 1, '-');
    if (!second) return nullptr;
    size_t head = (size_t)(cut - name), variant = (size_t)(second - first), ext = strlen(extension);
    char *out = (char *)mem_alloc_or_die(head + variant + ext + 1);
    memcpy(out, name, head);
    memcpy(out + head, first, variant);
    memcpy(out + head + variant, extension, ext + 1);
    return out;
}

model_mesh *bike_part_model_load(const char *file, const char *texture, int warn) {
    char *p = texture ? bike_part_path(file, texture, ".jm") : nullptr;
    if (!p) {
        model_mesh *m = model_load(file);
        if (!m && warn) console_printf("Warning: Can't load %.900s", file);
        return m;
    }
    model_mesh *m = model_load(p);
    if (m) {
        mem_free(p);
        return m;
    }
    const char *tslash = strrchr(texture, '/');
    if (tslash) {
        const char *part = strrchr(p, '/') ? strrchr(p, '/') + 1 : (p[0] == '@' ? p + 1 : p);
        size_t folder = (size_t)(tslash - texture) + 1, n = strlen(part);
        char *second = (char *)mem_alloc_or_die(folder + n + 1);
        memcpy(second, texture, folder);
        memcpy(second + folder, part, n + 1);
        m = model_load(second);
        if (!m && warn) console_printf("Warning: Can't load %.450s or %.450s", p, second);
        mem_free(second);
    } else if (warn) {
        console_printf("Warning: Can't load %.900s", p);
    }
    mem_free(p);
    return m;
}

// The first of the three suffixed names of the base that loads, or 0.
static uint32_t texture_map_lookup(const char *base, const char *const suffixes[3]) {
    if (!base) return 0;
    const char *dot = strrchr(base, '.');
    if (!dot) return 0;
    for (int i = 0; i < 3; i++) {
        char *name = replace_suffix(base, dot, suffixes[i]);
        uint32_t t = name ? tex_load(name) : 0;
        mem_free(name);
        if (t) return t;
    }
    return 0;
}

void bike_find_texture_maps(uint32_t *normal, uint32_t *specular, const char *texture,
                            const char *default_texture) {
    static const char *const NORMAL[3] = {"_norm.seq", "_norm.png", "_norm.ppm"};
    static const char *const SPECULAR[3] = {"_spec.seq", "_spec.png", "_spec.ppm"};
    *normal = 0;
    *specular = 0;
    if (!game_settings.shaders_active || !texture) return;
    *normal = texture_map_lookup(texture, NORMAL);
    *specular = texture_map_lookup(texture, SPECULAR);
    for (const char *base : {texture, default_texture}) {
        if (*normal && *specular) return;
        char *v = base ? bike_part_path(base, texture, ".foo") : nullptr;
        if (!v) continue;
        if (!*normal) *normal = texture_map_lookup(v, NORMAL);
        if (!*specular) *specular = texture_map_lookup(v, SPECULAR);
        mem_free(v);
    }
}

void bike_wheel_mass(dBodyID body, const float values[5]) {
    dMass total, element;
    dMassSetSphereTotal(&total, values[4], values[3]);
    dMassSetSphereTotal(&element, values[2] / 16.0, values[1]);
    dMassTranslate(&element, 0, values[0], 0);
    dMatrix3 R;
    dRFromAxisAndAngle(R, 1, 0, 0, 0.39269908169872414);
    for (int i = 0; i < 16; i++) {
        dMassAdd(&total, &element);
        dMassRotate(&element, R);
    }
    physics_set_mass(body, &total);
}

void bike_default_setup(rider_slot *s) {
    const bike_info *row = bike_row_of(s);
    float front = std::floor(bike_v(row, 66)), rear = std::floor(bike_v(row, 67));
    s->final_drive = (rear > 3 ? rear : 3) / (front > 3 ? front : 3);
    bike_set_fork(s, 1, 0, 1, 0, 0.5f, 0.5f, 0);
    bike_set_shock(s, 2, 0, 2, 1, 0.5f, 0.5f);
    s->rider_yspring = 0.5f;
    s->rider_ydamping = 0.75f;
    s->rider_zspring = 0.5f;
    s->rider_zdamping = 0.75f;
    s->leveling = 20;
    s->roll_damping = 60;
    s->roll_limit_angle = 0.7853982f;
    s->roll_limit_factor = 10;
    s->steering_damping = 45;
    s->steering_strength = 75;
    s->max_steering_force = 400;
    s->auto_clutch_rpms = 5000;
    s->brake_torque = 250;
    s->rear_brake_torque = 250;
    s->max_dab_speed = 30;
    s->direct_steering = 1;
    s->slow_damping_speed = 0;
    s->slow_damping_factor = 1;
    s->land_damping_falloff = 0.25f;
    s->land_damping_factor = 2;
    s->full_lock_speed = 10;
    s->restricted_lock_speed = 50;
    s->restricted_lock = 0.08726646f;
    s->setup_flags = (unsigned char)(1 | (STOP_WHEELIES_FRONT_ONLY << 1) | 8 | 128);
    s->arcade = 0;
}

// The row for the name, or the fallback with its console line.
static int choose_row(const char *name) {
    const bike_info *row = bike_info_find(name);
    if (row) return bike_info_index(row);
    const char *want = name && strstr(name, "125") ? "125" : "250f";
    int found = 0;
    for (int i = 0; i < BIKE_INFO_ROWS; i++)
        if (strstr(bike_info_table[i].name, want)) {
            found = i;
            break;
        }
    console_printf("bike info for '%.20s' not found using '%.20s' instead", name ? name : "",
                   bike_info_table[found].name);
    return found;
}

// "[key" followed by three finite numbers "a,b,c": the colour from them; else unchanged.
static void plate_colour(const char *info, const char *key, unsigned char rgb[3]) {
    const char *p = info ? strstr(info, key) : nullptr;
    if (!p) return;
    p += strlen(key);
    double v[3];
    for (int i = 0; i < 3; i++) {
        char *end;
        v[i] = strtod(p, &end);
        if (end == p || !std::isfinite(v[i])) return;
        p = end;
        if (i < 2) {
            if (*p != ',') return;
            p++;
        }
    }
    for (int i = 0; i < 3; i++) {
        double c = v[i] < 0 ? 0 : v[i] > 1 ? 1 : v[i];
        rgb[i] = (unsigned char)(int)(c * 255);
    }
}

static void load_shape(collision_shape **field, const char *file) {
    *field = shape_copy(file);
    if (!*field) console_printf("Warning: Can't load %.900s", file);
}

static void init_array(growable_array *a, int element_size) {
    a->items = mem_alloc_or_die((size_t)element_size * 16);
    a->capacity = 16;
    a->count = 0;
    a->element_size = element_size;
}

static void free_array(growable_array *a) {
    mem_free(a->items);
    a->items = nullptr;
    a->capacity = 0;
    a->count = 0;
}

static void make_bodies(rider_slot *s, const bike_info *row) {
    auto V = [row](int n) { return (dReal)bike_v(row, n); };
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = physics_body_create();
        s->parts[b] = body;
        bike_body_to_rest(body, row, b);
    }
    dBodySetFiniteRotationMode(bike_body_of(s, BIKE_BODY_FRONT_WHEEL), 1);
    dBodySetFiniteRotationMode(bike_body_of(s, BIKE_BODY_REAR_WHEEL), 1);
    dMass m;
    dMassSetBoxTotal(&m, V(19) + 2.0 / 3.0 * V(188), V(20), V(21), V(22));
    physics_set_mass(bike_frame_body(s), &m);
    dMassSetSphereTotal(&m, V(188) / 3.0, 1.0);
    physics_set_mass(bike_rider_body(s), &m);
    float front[5] = {bike_v(row, 3), bike_v(row, 4), bike_v(row, 5), bike_v(row, 6), bike_v(row, 7)};
    float rear[5] = {bike_v(row, 11), bike_v(row, 12), bike_v(row, 13), bike_v(row, 14), bike_v(row, 15)};
    bike_wheel_mass(bike_body_of(s, BIKE_BODY_FRONT_WHEEL), front);
    bike_wheel_mass(bike_body_of(s, BIKE_BODY_REAR_WHEEL), rear);
    // Fork: two legs along z, turned to the fork's rake.
    dMass leg, fork;
    dMassSetCylinderTotal(&fork, V(37) / 2, 3, V(35) / 8, 2.0 / 3.0 * V(36));
    leg = fork;
    dMassTranslate(&fork, V(35) / 2, 0, 0);
    dMassTranslate(&leg, -V(35) / 2, 0, 0);
    dMassAdd(&fork, &leg);
    dMatrix3 R;
    double fdy = V(33) - V(24), fdz = V(34) - V(25);
    dRFromAxisAndAngle(R, 1, 0, 0, std::atan(fdz / fdy));
    dMassRotate(&fork, R);
    dMass copy = fork;
    physics_set_mass(bike_body_of(s, BIKE_BODY_FORK_UPPER), &fork);
    physics_set_mass(bike_body_of(s, BIKE_BODY_FORK_LOWER), &copy);
    // Swingarm: two arms from the pivot to the rear axle.
    double ax = V(8) - V(29), ay = V(9) - V(30), az = V(10) - V(31);
    double length = std::sqrt(ax * ax + ay * ay + az * az);
    dMass arm, arms;
    dMassSetBoxTotal(&arms, V(49), V(20) / 4, V(20) / 4, length);
    arm = arms;
    dMassTranslate(&arms, V(20) / 2, 0, 0);
    dMassTranslate(&arm, -V(20) / 2, 0, 0);
    dMassAdd(&arms, &arm);
    dRFromAxisAndAngle(R, 1, 0, 0, -std::atan(ay / az));
    dMassRotate(&arms, R);
    physics_set_mass(bike_body_of(s, BIKE_BODY_SWINGARM), &arms);
}

static void make_joints(rider_slot *s, const bike_info *row) {
    auto V = [row](int n) { return (dReal)bike_v(row, n); };
    dBodyID frame = bike_frame_body(s), upper = bike_body_of(s, BIKE_BODY_FORK_UPPER),
            lower = bike_body_of(s, BIKE_BODY_FORK_LOWER), arm = bike_body_of(s, BIKE_BODY_SWINGARM);
    dReal axis[3] = {V(23) - V(32), V(24) - V(33), V(25) - V(34)};
    dJointID j = physics_hinge_create();
    s->parts[BIKE_JOINT_FRONT_AXLE] = j;
    dJointAttach(j, lower, bike_body_of(s, BIKE_BODY_FRONT_WHEEL));
    dJointSetHingeAnchor(j, V(0), V(1), V(2));
    dJointSetHingeAxis(j, 1, 0, 0);
    j = physics_hinge_create();
    s->parts[BIKE_JOINT_REAR_AXLE] = j;
    dJointAttach(j, arm, bike_body_of(s, BIKE_BODY_REAR_WHEEL));
    dJointSetHingeAnchor(j, V(8), V(9), V(10));
    dJointSetHingeAxis(j, 1, 0, 0);
    j = physics_hinge_create();
    s->parts[BIKE_JOINT_STEERING] = j;
    dJointAttach(j, upper, frame);
    dJointSetHingeAnchor(j, V(23), V(24), V(25));
    dJointSetHingeAxis(j, axis[0], axis[1], axis[2]);
    dJointSetHingeParam(j, dParamLoStop, -0.7853981633974483);
    dJointSetHingeParam(j, dParamHiStop, 0.7853981633974483);
    j = physics_slider_create();
    s->parts[BIKE_JOINT_FORK] = j;
    dJointAttach(j, upper, lower);
    dJointSetSliderAxis(j, axis[0], axis[1], axis[2]);
    dJointSetSliderParam(j, dParamBounce, 0);
    dJointSetSliderParam(j, dParamLoStop, -V(48));
    dJointSetSliderParam(j, dParamHiStop, 0);
    j = physics_hinge_create();
    s->parts[BIKE_JOINT_SWINGARM] = j;
    dJointAttach(j, arm, frame);
    dJointSetHingeAnchor(j, V(29), V(30), V(31));
    dJointSetHingeParam(j, dParamBounce, 0);
    dJointSetHingeAxis(j, 1, 0, 0);
    dJointSetHingeParam(j, dParamLoStop, -V(60));
    dJointSetHingeParam(j, dParamHiStop, 0);
    j = physics_hinge2_create();
    s->parts[BIKE_JOINT_RIDER] = j;
    dJointAttach(j, bike_rider_body(s), frame);
    dJointSetHinge2Anchor(j, 0, V(184), -50);
    const dReal axis1[3] = {0, 1, 1}, axis2[3] = {1, 0, 0};
    dJointSetHinge2Axes(j, axis1, axis2);
    dJointSetHinge2Param(j, dParamLoStop, 0);
    dJointSetHinge2Param(j, dParamHiStop, 0);
    for (int k = 0; k < BIKE_JOINTS; k++)
        dJointSetFeedback(bike_joint_of(s, BIKE_JOINT_FRONT_AXLE + k), &s->joint_feedback[k]);
}

rider_slot *bike_load(const char *model, int slot, int no_wheel_contacts, const char *number,
                      const char *body_tex, const char *head_tex, const char *bike_tex,
                      const char *wheels_tex) {
    rider_slot *s = rider_slot_at(slot);
    if (!s || !physics_world) return nullptr;
    bike_free(slot);
    s->bike_row = choose_row(model);
    const bike_info *row = bike_row_of(s);
    load_shape(&s->frame_shape, bike_file(row, BIKE_F_FRAME_SHAPE));
    load_shape(&s->fork_upper_shape, bike_file(row, BIKE_F_FORK_UPPER_SHAPE));
    load_shape(&s->fork_lower_shape, bike_file(row, BIKE_F_FORK_LOWER_SHAPE));
    load_shape(&s->swingarm_shape, bike_file(row, BIKE_F_SWINGARM_SHAPE));
    load_shape(&s->rider_shape, bike_file(row, BIKE_F_RIDER_SHAPE));
    load_shape(&s->front_wheel_shape, bike_file(row, BIKE_F_FRONT_WHEEL_SHAPE));
    load_shape(&s->rear_wheel_shape, bike_file(row, BIKE_F_REAR_WHEEL_SHAPE));

    s->bike_texture = s->wheels_texture = s->body_texture = s->head_texture = 0;
    s->bike_normal_map = s->bike_specular_map = s->wheels_normal_map = s->wheels_specular_map = 0;
    s->body_normal_map = s->body_specular_map = s->head_normal_map = s->head_specular_map = 0;
    if (bike_tex) s->bike_texture = tex_load(bike_tex);
    if (wheels_tex) s->wheels_texture = tex_load(wheels_tex);
    if (body_tex) s->body_texture = tex_load(body_tex);
    if (head_tex) s->head_texture = tex_load(head_tex);

    auto load_bike_models = [&]() {
        s->frame_model = bike_part_model_load(bike_file(row, BIKE_F_FRAME_MODEL), bike_tex, 1);
        s->side_plates_model = bike_part_model_load(bike_file(row, BIKE_F_SIDE_PLATES_MODEL), bike_tex, 1);
        s->fork_upper_model = bike_part_model_load(bike_file(row, BIKE_F_FORK_UPPER_MODEL), bike_tex, 1);
        s->front_plate_model = bike_part_model_load(bike_file(row, BIKE_F_FRONT_PLATE_MODEL), bike_tex, 1);
        s->fork_lower_model = bike_part_model_load(bike_file(row, BIKE_F_FORK_LOWER_MODEL), bike_tex, 1);
        s->swingarm_model = bike_part_model_load(bike_file(row, BIKE_F_SWINGARM_MODEL), bike_tex, 1);
    };
    auto load_wheel_models = [&]() {
        s->front_wheel_model = bike_part_model_load(bike_file(row, BIKE_F_FRONT_WHEEL_MODEL), wheels_tex, 1);
        s->rear_wheel_model = bike_part_model_load(bike_file(row, BIKE_F_REAR_WHEEL_MODEL), wheels_tex, 1);
    };
    auto load_body_models = [&]() {
        s->rider_plate_model = bike_part_model_load(bike_file(row, BIKE_F_RIDER_PLATE_MODEL), body_tex, 0);
        s->body_model = bike_part_model_load(bike_file(row, BIKE_F_BODY_MODEL), body_tex, 1);
        s->body_fp_model = bike_part_model_load(bike_file(row, BIKE_F_BODY_FP_MODEL), body_tex, 0);
    };
    auto load_head_model = [&]() {
        s->head_model = bike_part_model_load(bike_file(row, BIKE_F_HEAD_MODEL), head_tex, 1);
    };
    load_bike_models();
    load_wheel_models();
    load_body_models();
    load_head_model();
    if (!s->bike_texture || !s->frame_model) {
        bike_tex = bike_file(row, BIKE_F_BIKE_TEXTURE);
        s->bike_texture = tex_load(bike_tex);
        load_bike_models();
    }
    if (!s->wheels_texture || !s->front_wheel_model || !s->rear_wheel_model) {
        wheels_tex = bike_file(row, BIKE_F_WHEELS_TEXTURE);
        s->wheels_texture = tex_load(wheels_tex);
        load_wheel_models();
    }
    if (!s->body_texture || !s->body_model) {
        body_tex = bike_file(row, BIKE_F_BODY_TEXTURE);
        s->body_texture = tex_load(body_tex);
        load_body_models();
    }
    if (!s->head_texture || !s->head_model) {
        head_tex = bike_file(row, BIKE_F_HEAD_TEXTURE);
        s->head_texture = tex_load(head_tex);
        load_head_model();
    }

    unsigned char background[3] = {255, 255, 255}, foreground[3] = {0, 0, 0};
    const char *info = s->bike_texture ? tex_info(s->bike_texture) : nullptr;
    plate_colour(info, "[numberbackground:", background);
    plate_colour(info, "[numberforeground:", foreground);
    memset(s->rider_number, 0, sizeof s->rider_number);
    if (number) strncpy(s->rider_number, number, 7);
    uint32_t bytes_before = texture_memory_bytes;
    s->number_plate_texture = tex_create_text_plate(s->rider_number, 128, 128, background, foreground);
    s->number_plate_bytes = texture_memory_bytes - bytes_before;

    bike_find_texture_maps(&s->bike_normal_map, &s->bike_specular_map, bike_tex,
                           bike_file(row, BIKE_F_BIKE_TEXTURE));
    bike_find_texture_maps(&s->wheels_normal_map, &s->wheels_specular_map, wheels_tex,
                           bike_file(row, BIKE_F_WHEELS_TEXTURE));
    bike_find_texture_maps(&s->body_normal_map, &s->body_specular_map, body_tex,
                           bike_file(row, BIKE_F_BODY_TEXTURE));
    bike_find_texture_maps(&s->head_normal_map, &s->head_specular_map, head_tex,
                           bike_file(row, BIKE_F_HEAD_TEXTURE));

    make_bodies(s, row);
    s->front_contact = {};
    s->front_contact.body = bike_body_of(s, BIKE_BODY_FRONT_WHEEL);
    s->front_contact.axle = {1, 0, 0};
    s->front_contact.ring_radius = bike_v(row, 3);
    s->front_contact.section_radius = bike_v(row, 4);
    s->rear_contact = {};
    s->rear_contact.body = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
    s->rear_contact.axle = {1, 0, 0};
    s->rear_contact.ring_radius = bike_v(row, 11);
    s->rear_contact.section_radius = bike_v(row, 12);
    make_joints(s, row);

    init_array(&s->timing_tics, 4);
    init_array(&s->sample_buffers[0], 20);
    init_array(&s->sample_buffers[1], 20);
    init_array(&s->working_line, 20);
    bike_default_setup(s);
    double total = 0;
    for (int b = 0; b < BIKE_BODIES; b++) {
        dMass m;
        dBodyGetMass(bike_body_of(s, b), &m);
        total += m.mass;
    }
    s->total_mass = (float)total;
    bike_reset(s);
    s->slot_index = slot;
    s->slot_flags = (unsigned char)((s->slot_flags & ~1u) | (no_wheel_contacts & 1));
    return s;
}

void bike_free(int slot) {
    rider_slot *s = rider_slot_at(slot);
    if (!s) return;
    for (int j = BIKE_JOINT_FRONT_AXLE; j < BIKE_PARTS; j++) {
        physics_joint_destroy((dJointID)s->parts[j]);
        s->parts[j] = nullptr;
    }
    for (int b = 0; b < BIKE_BODIES; b++) {
        physics_body_destroy((dBodyID)s->parts[b]);
        s->parts[b] = nullptr;
    }
    s->front_contact.body = nullptr;
    s->rear_contact.body = nullptr;
    free_array(&s->timing_tics);
    free_array(&s->sample_buffers[0]);
    free_array(&s->sample_buffers[1]);
    free_array(&s->working_line);
    if (s->number_plate_texture) {
        glDeleteTextures(1, &s->number_plate_texture);
        texture_memory_bytes -= s->number_plate_bytes < texture_memory_bytes
                                    ? s->number_plate_bytes : texture_memory_bytes;
        s->number_plate_texture = 0;
        s->number_plate_bytes = 0;
    }
    for (collision_shape **shape : {&s->frame_shape, &s->fork_upper_shape, &s->fork_lower_shape,
                                    &s->swingarm_shape, &s->rider_shape, &s->front_wheel_shape,
                                    &s->rear_wheel_shape}) {
        mem_free(*shape);
        *shape = nullptr;
    }
    for (model_mesh **m : {&s->frame_model, &s->fork_upper_model, &s->fork_lower_model,
                           &s->swingarm_model, &s->front_wheel_model, &s->rear_wheel_model,
                           &s->head_model, &s->body_model, &s->body_fp_model,
                           &s->side_plates_model, &s->front_plate_model, &s->rider_plate_model})
        *m = nullptr;
    for (uint32_t *t : {&s->bike_texture, &s->bike_normal_map, &s->bike_specular_map,
                        &s->wheels_texture, &s->wheels_normal_map, &s->wheels_specular_map,
                        &s->head_texture, &s->head_normal_map, &s->head_specular_map,
                        &s->body_texture, &s->body_normal_map, &s->body_specular_map})
        *t = 0;
}
