// The view's size record, choice helpers and the text-line frames.
#include "ui/widget.h"

#include <GL/gl.h>

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

void widget_push_lines_frame(int n) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    float a = 2.0f * view_state.half_y / (float)n;
    glTranslatef(-view_state.half_x, view_state.half_y - a, -1.0f);
    glScalef(a, a, a);
}

void widget_pop_frame() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
