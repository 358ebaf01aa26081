// The rider control rows and the lookup of the bindings' keys and axes.
#include "game/controls.h"

#include <cmath>

#include "platform/plyx.h"
#include "ui/menu.h"

static constexpr control_binding *B = settings.bindings;

rider_control_row rider_control_rows[RIDER_CONTROL_ROWS + 1] = {
    {&B[BINDING_LEFT], CONTROL_STEER, 1.0f, 0.0f},
    {&B[BINDING_RIGHT], CONTROL_STEER, -1.0f, 0.0f},
    {&B[BINDING_THROTTLE], CONTROL_THROTTLE, 1.0f, 0.0f},
    {&B[BINDING_FRONT_BRAKE], CONTROL_FRONT_BRAKE, 1.0f, 0.0f},
    {&B[BINDING_REAR_BRAKE], CONTROL_REAR_BRAKE, 1.0f, 0.0f},
    {&B[BINDING_UPSHIFT], CONTROL_SHIFT, 1.0f, 0.0f},
    {&B[BINDING_DOWNSHIFT], CONTROL_SHIFT, -1.0f, 0.0f},
    {&B[BINDING_CLUTCH], CONTROL_CLUTCH, 1.0f, 0.0f},
    {&B[BINDING_DAB], CONTROL_SIT_DAB, 1.0f, 0.0f},
    {&B[BINDING_BACK_UP], CONTROL_BACK_UP, 1.0f, 0.0f},
    {&B[BINDING_LEAN_FORWARD], CONTROL_LEAN, -1.0f, 0.0f},
    {&B[BINDING_LEAN_BACKWARD], CONTROL_LEAN, 1.0f, 0.0f},
    {nullptr, 0, 0.0f, 0.0f},
};

axis_handle *cursor_x_axis = nullptr;
axis_handle *cursor_y_axis = nullptr;

static void bind_one(window_context *w, control_binding *b) {
    b->key_code = -1;
    if (b->key_name) {
        uint32_t code;
        if (plyx_input_key_code(w, &code, b->key_name)) b->key_code = (int)code;
    } else if (b->axis_name) {
        b->axis = plyx_input_open_axis(w, b->axis_name);
    }
}

void controls_bind_all(window_context *w) {
    cursor_x_axis = plyx_input_open_axis(w, "cursor-x");
    cursor_y_axis = plyx_input_open_axis(w, "cursor-y");
    // The twelve rows' bindings first, then the eight keys of the frame loop.
    for (rider_control_row *r = rider_control_rows; r->binding; r++) {
        bind_one(w, r->binding);
        r->value = 0.0f;
    }
    for (int i = BINDING_PAUSE; i < BINDING_COUNT; i++) bind_one(w, &settings.bindings[i]);
}

void controls_lookup_menu_keys(window_context *w) {
    struct {
        const char *name;
        int *code;
    } keys[] = {
        {"up", &menu_key_codes.up},
        {"down", &menu_key_codes.down},
        {"left", &menu_key_codes.left},
        {"right", &menu_key_codes.right},
        {"enter", &menu_key_codes.enter},
        {"keypad enter", &menu_key_codes.keypad_enter},
        {"esc", &menu_key_codes.esc},
        {"pause", &menu_key_codes.pause},
        {"cursor-left", &menu_key_codes.cursor_left},
        {"cursor-right", &menu_key_codes.cursor_right},
        {"page up", &menu_key_codes.page_up},
        {"page down", &menu_key_codes.page_down},
        {"close", &menu_key_codes.close},
    };
    for (auto &k : keys) {
        uint32_t code;
        *k.code = plyx_input_key_code(w, &code, k.name) ? (int)code : -1;
    }
}

void controls_close_all() {
    plyx_input_close_axis(cursor_x_axis);
    plyx_input_close_axis(cursor_y_axis);
    cursor_x_axis = cursor_y_axis = nullptr;
    for (control_binding &b : settings.bindings) {
        plyx_input_close_axis(b.axis);
        b.axis = nullptr;
    }
}

void controls_release_all() {
    for (rider_control_row *r = rider_control_rows; r->binding; r++) r->value = 0.0f;
}

void controls_key_event(int code, int pressed) {
    for (rider_control_row *r = rider_control_rows; r->binding; r++)
        if (r->binding->key_code >= 0 && r->binding->key_code == code)
            r->value = pressed ? 1.0f : 0.0f;
}

float controls_axis_value(int raw, float minimum, float maximum) {
    float x = (float)raw / 32768.0f;
    float range = maximum - minimum;
    float v;
    // A range of nothing would divide by zero: the axis then switches at its one point.
    if (range == 0.0f)
        v = x >= minimum ? 1.0f : 0.0f;
    else
        v = (x - minimum) / range;
    if (!std::isfinite(v)) return 0.0f;
    return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v;
}

void controls_read_axis_rows() {
    for (rider_control_row *r = rider_control_rows; r->binding; r++) {
        const control_binding *b = r->binding;
        if (b->axis)
            r->value = controls_axis_value(plyx_input_read_axis(b->axis), b->axis_min, b->axis_max);
    }
}

void controls_sum(control_record *axes) {
    for (const rider_control_row *r = rider_control_rows; r->binding; r++)
        axes->axis[r->axis] += r->sign * r->value;
}
