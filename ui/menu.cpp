// The menus' shared state and entry points. Pages, widgets and the console join with the menu
// Parts; until then nothing is drawn or taken and the paint lists are empty.
#include "ui/menu.h"

#include "core/mem.h"

int menu_page = MENU_NONE;
int menu_selected_item = 0;
int menu_page_changed = 0;
int menu_left_button = 0;
menu_key_code_table menu_key_codes = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
control_binding *watch_binding = nullptr;
const char *watch_key_name = nullptr;
int watch_key_code = -1;
double watch_time = 0.0;
choice_widget paint_rider_body = {"Riding Gear", nullptr, 0, 0, {0, 0, 0, 0}};
choice_widget paint_rider_head = {"Helmet", nullptr, 0, 0, {0, 0, 0, 0}};
choice_widget paint_bike = {"Bike Graphics", nullptr, 0, 0, {0, 0, 0, 0}};
choice_widget paint_wheels = {"Wheel Graphics", nullptr, 0, 0, {0, 0, 0, 0}};
growable_array menu_server_list;
int menu_server_selected = -1;

void menu_draw_page() {}

void menu_handle_key(int code, int pressed) {
    (void)code;
    (void)pressed;
}

void menu_hover_item() {}

void menu_watch_axes() {}

void menu_watch_end() {
    watch_binding = nullptr;
}

void console_run_line(const char *line) {
    (void)line;
}

void menu_list_paint_variants(const char *prefix, choice_widget *list) {
    (void)prefix;
    list->options = nullptr;
    list->option_count = 0;
    list->current = 0;
}

void menu_free_paint_lists() {
    for (choice_widget *c : {&paint_rider_body, &paint_rider_head, &paint_bike, &paint_wheels}) {
        c->options = nullptr;
        c->option_count = 0;
        c->current = 0;
    }
}

void menu_lists_create() {
    if (!plyx_array_init(&menu_server_list, sizeof(void *), MENU_LIST_CAPACITY))
        mem_out_of_memory();
}

void menu_lists_free() {
    plyx_array_free(&menu_server_list);
}
