// The reference of bench_script_hooks: the same 3e6-iteration loop in Debian's shared Duktape,
// its seconds on standard output. A program of its own, since the two builds cannot share one.
#include <duktape.h>

#include <chrono>
#include <cstdio>

int main() {
    duk_context *d = duk_create_heap_default();
    if (!d) return 1;
    auto start = std::chrono::steady_clock::now();
    int rc = duk_peval_string(d, "var s = 0; for (var i = 0; i < 3000000; i++) { s += i & 7; }");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    duk_destroy_heap(d);
    if (rc != 0) return 1;
    printf("%.6f\n", seconds);
    return 0;
}
