// The rider control rows: the bindings that feed the nine control axes, their key codes and
// axes, and the pointer axes of the menus.
#pragma once

#include "bike/controls.h"
#include "core/settings.h"

struct window_context;

struct rider_control_row {
    control_binding *binding;   // null ends the table
    int axis;                   // control axis 0..8
    float sign;
    float value;                // 0..1
};

extern rider_control_row rider_control_rows[];
// The pointer axes "cursor-x" and "cursor-y" (null when they did not open).
extern axis_handle *cursor_x_axis;
extern axis_handle *cursor_y_axis;

// Opens the pointer axes and looks up every binding: a key name gives its key code, otherwise
// an axis name opens the axis. Every row's value becomes 0.
void controls_bind_all(window_context *w);
// Fills menu_key_codes from the key names the menus and the frame loop use.
void controls_lookup_menu_keys(window_context *w);
// Closes the pointer axes and every binding's axis.
void controls_close_all();
// Every row's value becomes 0.
void controls_release_all();
// A key event: every row whose binding has the code takes 1 when pressed, 0 when released.
void controls_key_event(int code, int pressed);
// Every row whose binding has an axis takes the axis reading.
void controls_read_axis_rows();
// Adds each row's signed value to its control axis, in table order.
void controls_sum(control_record *axes);
// The value of an axis reading (raw / 32768 of full deflection) over a binding's range.
float controls_axis_value(int raw, float minimum, float maximum);

constexpr int RIDER_CONTROL_ROWS = 12;
