// The program's entry point.
#include "core/entry.h"

int main(int argc, char **argv) {
    return game_main(argc, argv);
}
