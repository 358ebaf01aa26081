// The program's entry point.
#include "game/entry.h"

int main(int argc, char **argv) {
    return game_main(argc, argv);
}
