// The menus as the frame loop and start-up see them: the current page, the pointer state, the
// binding capture, the menu keys, the paint lists and the console's command line.
#pragma once

#include "platform/plyx.h"
#include "ui/widget.h"

struct control_binding;

// The codes of the keys the menus and the frame loop use, looked up by name at start-up (-1
// when a name has no code).
struct menu_key_code_table {
    int up, down, left, right, enter, keypad_enter, esc, pause, cursor_left, cursor_right,
        page_up, page_down, close;
};

extern int menu_page;             // -1 none, 0 the main menu, 16 the chat page
extern int menu_selected_item;
extern int menu_page_changed;     // the page changed since the previous event
extern int menu_left_button;      // the left pointer button is held
extern menu_key_code_table menu_key_codes;
// The binding capture: the binding being captured (null: none), the captured key's name and
// code, and the frame_clock time of the capture.
extern control_binding *watch_binding;
extern const char *watch_key_name;
extern int watch_key_code;
extern double watch_time;
// The paint lists: riding gear, helmet, bike graphics and wheel graphics.
extern choice_widget paint_rider_body;
extern choice_widget paint_rider_head;
extern choice_widget paint_bike;
extern choice_widget paint_wheels;
// The recent-server list of the connect page (rows of pointer size until it gives its own).
extern growable_array menu_server_list;
extern int menu_server_selected;   // its selected row, -1 none

void menu_draw_page();
// Handles one pressed key (16: a pointer drag) on the current page.
void menu_handle_key(int code, int pressed);
// Selects the item under the pointer.
void menu_hover_item();
// Runs each tick while a binding capture runs.
void menu_watch_axes();
// Ends a binding capture: its axes are closed and no binding is captured any more.
void menu_watch_end();
// Runs one console command line.
void console_run_line(const char *line);
// Fills a paint list with the textures whose names start with the prefix.
void menu_list_paint_variants(const char *prefix, choice_widget *list);
// Frees the four paint lists.
void menu_free_paint_lists();
// Makes the empty recent-server list with room for 16 rows; frees it.
void menu_lists_create();
void menu_lists_free();

constexpr int MENU_NONE = -1;
constexpr int MENU_MAIN = 0;
constexpr int MENU_CHAT = 16;
constexpr int MENU_KEY_DRAG = 16;
constexpr int MENU_LIST_CAPACITY = 16;
