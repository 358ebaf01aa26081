// The view's size record and the helpers that read and set choices, sliders and text fields.
#include "core/widget_data.h"

#include <cstring>

#include "core/util.h"

view_state_record view_state = {640, 480, 0, 0, 1.0f, 0.75f};

const char *choice_text(const choice_widget *c) {
    if (!c->options || c->current < 0 || c->current >= c->option_count) return "";
    return c->options[c->current] ? c->options[c->current] : "";
}

int choice_select_text(choice_widget *c, const char *text) {
    for (int i = 0; i < c->option_count; i++) {
        if (c->options[i] && strcmp(c->options[i], text) == 0) {
            c->current = i;
            return 1;
        }
    }
    return 0;
}

int widget_slider_parse(slider_widget *s, const char *text) {
    double v;
    if (!util_parse_number(text, &v)) return 0;
    double lo = (float)s->minimum, hi = (float)s->maximum;
    s->value = v < lo ? lo : v > hi ? hi : v;
    return 1;
}

int widget_text_set(text_field_widget *f, const char *text) {
    int n = 0;
    while (n < f->max_length && text[n]) n++;
    memcpy(f->text, text, (size_t)n);
    f->text[n] = 0;
    return 1;
}
