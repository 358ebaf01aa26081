// Fuzz target "options": the command line.
#include <string>
#include <vector>

#include "fuzz/fuzz.h"
#include "game/options.h"

// The command line: the input split at NUL bytes into at most 64 arguments after the name.
void fuzz_options(const uint8_t *data, size_t size) {
    fuzz_setup();
    std::vector<std::string> args;
    std::string all((const char *)data, size);
    for (size_t from = 0; from <= all.size() && args.size() < 64;) {
        size_t at = all.find('\0', from);
        if (at == std::string::npos) at = all.size();
        args.push_back(all.substr(from, at - from));
        from = at + 1;
    }
    std::vector<char *> argv;
    std::string program = "zr";
    argv.push_back(program.data());
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    option_cursor cursor = options_begin((int)argv.size() - 1, argv.data());
    options_result result = options_parse(&cursor);
    (void)result;
    fuzz_purge();
}
