// The command-line parser. The option table joins with the command-line Part; until then the
// arguments are left unread and every value keeps its default.
#include "core/options.h"

option_cursor options_begin(int argc, char **argv) {
    return {argv + 1, argc > 0 ? argc - 1 : 0, 0};
}

void options_parse(option_cursor *cursor) {
    (void)cursor;
}
