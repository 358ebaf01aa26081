// stream_getc over a 16 MiB plain file against a plain fgetc loop (target: within 1.5x).
#include <cstdio>
#include <string>

#include "bench/bench.h"
#include "core/vfs.h"

int main() {
    bench_dir dir;
    std::string path = dir.file("plain.bin");
    FILE *f = fopen(path.c_str(), "wb");
    for (int i = 0; i < 16 << 20; i++) fputc((i * 2654435761u) >> 24, f);
    fclose(f);
    volatile unsigned sink = 0;
    bench_stats reference = bench_runs(5, [&] {
        FILE *in = fopen(path.c_str(), "rb");
        unsigned sum = 0;
        for (int c; (c = fgetc(in)) != EOF;) sum += (unsigned)c;
        fclose(in);
        sink = sink + sum;
    });
    bench_stats ours = bench_runs(5, [&] {
        file_stream *s = stream_open(path.c_str(), "rb");
        unsigned sum = 0;
        for (int c; (c = stream_getc(s)) >= 0;) sum += (unsigned)c;
        stream_close(s);
        sink = sink + sum;
    });
    return bench_report("stream_getc over 16 MiB", "stream_getc", ours, "fgetc", reference, 1.5);
}
