// The command line: the cursor over the arguments and the option parser.
#pragma once

struct option_cursor {
    char **next;       // the next argument
    int left;          // arguments left
    int ended;         // a "--" ended the options
};

// A cursor at the first argument after the program's name.
option_cursor options_begin(int argc, char **argv);
// Applies every option to the settings and run values (errors end the program).
void options_parse(option_cursor *cursor);
