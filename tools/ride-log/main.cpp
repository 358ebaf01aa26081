// ride-log: runs races without a person, from start-up's own race reset, and prints what the
// riders and the track do, one subcommand (one file) for each kind of run.
//
//   ride-log script --track TRACK [--script FILE] [--seconds S]   the track script's doings
#include <cstdio>
#include <cstring>

#include "tools/ride-log/ride_log.h"

const ride_log_command ride_log_commands[] = {
    {"script", "--track TRACK [--script FILE] [--seconds S]: the track script's windsock, flags and crowd",
     ride_log_script},
};
const int ride_log_command_count = (int)(sizeof ride_log_commands / sizeof ride_log_commands[0]);

static int usage() {
    fprintf(stderr, "usage: ride-log COMMAND [ARGS]\n");
    for (int i = 0; i < ride_log_command_count; i++)
        fprintf(stderr, "  %s %s\n", ride_log_commands[i].name, ride_log_commands[i].summary);
    return 2;
}

int main(int argc, char **argv) {
    if (argc < 2) return usage();
    for (int i = 0; i < ride_log_command_count; i++)
        if (strcmp(argv[1], ride_log_commands[i].name) == 0)
            return ride_log_commands[i].run(std::vector<std::string>(argv + 2, argv + argc));
    return usage();
}
