// The widget records the setting records are made of, and the view's size: plain data every
// layer may read. Drawing widgets and taking their input stay with the menus (ui/widget.h).
#pragma once

// Pixels, y down; a point hits it when strictly inside. All -1: hidden, never hit.
struct widget_rect {
    int x0, y0, x1, y1;
};

// Buttons, labels and captions.
struct widget {
    const char *label;
    widget_rect rect;
};

struct choice_widget {
    const char *label;
    const char **options;   // option texts; the record does not own them
    int option_count;
    int current;            // index of the selected option
    widget_rect rect;
};

struct slider_widget {
    const char *label;
    double value, step, minimum, maximum;
    widget_rect rect;
    int track_left_x, track_right_x;   // pixels, set when drawn
};

struct text_field_widget {
    const char *label;
    int max_length;         // characters
    char *text;             // max_length + 1 bytes, owned by the record's definer
    int caret;
    int insert_mode;        // 1 insert, else overwrite
    widget_rect rect;
};

// The window size and pointer in pixels, and the half-extents of the view at unit distance in
// front of the eye (written with the projection).
struct view_state_record {
    int width, height;
    int mouse_x, mouse_y;
    float half_x, half_y;
};

extern view_state_record view_state;

// The selected option's text, or "" when there is none.
const char *choice_text(const choice_widget *c);
// Selects the option whose text equals text exactly: 1, or 0 with the choice unchanged.
int choice_select_text(choice_widget *c, const char *text);
// Reads one number into the slider, clamped to its range (bounds in single precision): 1, or 0
// with the slider unchanged when the text does not start with a finite number.
int widget_slider_parse(slider_widget *s, const char *text);
// Copies at most the field's maximum length of the text into it: 1.
int widget_text_set(text_field_widget *f, const char *text);
