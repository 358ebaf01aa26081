// The command line: the cursor over the arguments and the option parser.
#pragma once

#include <string>

struct option_cursor {
    char **next;       // the next argument
    int left;          // arguments left
    int ended;         // a "--" ended the options
};

// How parsing ended: carry on, or end the program with the code after printing the message
// on standard error (and, for --open-home, opening the home folder first).
struct options_result {
    int stop;
    int exit_code;
    int open_home;
    std::string message;
};

// A cursor at the first argument after the program's name.
option_cursor options_begin(int argc, char **argv);
// Tests the current argument against one option: a flag when value is null, else an option
// taking a value ("--name value" or "--name=value"; null when the name is the last argument).
// 1 when it matched and its arguments were consumed. A "--" seen by a value option ends the
// options (consumed, 0).
int option_match(option_cursor *cursor, const char *name, const char **value);
// Applies every option to the settings and run values, and takes the one bare argument as the
// demo file to play.
options_result options_parse(option_cursor *cursor);
