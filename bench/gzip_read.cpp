// Reading a gzip file through a stream against zlib's gzread (target: within 1.5x).
#include <zlib.h>

#include <string>

#include "bench/bench.h"
#include "core/vfs.h"

int main() {
    bench_dir dir;
    std::string path = dir.file("data.gz");
    gzFile out = gzopen(path.c_str(), "wb6");
    std::string line;
    for (int i = 0; i < 400000; i++) {
        line = "vertex " + std::to_string(i * 7919LL % 100003) + " " + std::to_string(i % 977) +
               " " + std::to_string(i * 31LL % 65521) + "\n";
        gzwrite(out, line.data(), (unsigned)line.size());
    }
    gzclose(out);
    std::string block(65536, 0);
    volatile size_t sink = 0;
    bench_stats reference = bench_runs(5, [&] {
        gzFile in = gzopen(path.c_str(), "rb");
        size_t total = 0;
        for (int n; (n = gzread(in, block.data(), (unsigned)block.size())) > 0;) total += (size_t)n;
        gzclose(in);
        sink = sink + total;
    });
    bench_stats ours = bench_runs(5, [&] {
        file_stream *s = stream_open(dir.file("data").c_str(), "rb");
        size_t total = 0;
        for (int n; (n = stream_read(s, block.data(), (int)block.size())) > 0;) total += (size_t)n;
        stream_close(s);
        sink = sink + total;
    });
    bench_stats bytewise = bench_runs(3, [&] {
        file_stream *s = stream_open(dir.file("data").c_str(), "rb");
        size_t total = 0;
        for (int c; (c = stream_getc(s)) >= 0;) total += (size_t)c;
        stream_close(s);
        sink = sink + total;
    });
    printf("gzip stream_getc: %s, %.3g x gzread\n", bench_spread(bytewise).c_str(),
           bytewise.median / reference.median);
    return bench_report("gzip reading", "stream_read", ours, "gzread", reference, 1.5);
}
