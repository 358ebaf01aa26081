// Fuzz target "pnm": P2, P3, P5, P6, J6 and J7 pictures.
#include "core/mem.h"
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "gfx/image.h"

// P2, P3, P5, P6, J6 and J7 over a stream: the colour and grey readers, and the format readers
// given the magic word as their callers read it.
void fuzz_pnm(const uint8_t *data, size_t size) {
    unsigned char *pixels = nullptr;
    int w = 0, h = 0;
    file_stream *s = fuzz_stream(data, size, "fz/image.ppm");
    if (image_read_rgb(s, &pixels, &w, &h)) mem_free(pixels);
    stream_close(s);
    s = fuzz_stream(data, size, "fz/image.pgm");
    if (image_read_pgm(s, &pixels, &w, &h)) mem_free(pixels);
    stream_close(s);
    for (int channels = 3; channels <= 4; channels++) {
        s = fuzz_stream(data, size, "fz/image");
        char magic[16];
        if (stream_scanf(s, "%15s", magic) == 1) {
            int ok = magic[0] == 'P' ? image_read_ppm(magic, s, &pixels, &w, &h)
                                     : image_read_predictive(magic, s, &pixels, &w, &h, channels);
            if (ok) mem_free(pixels);
        }
        stream_close(s);
    }
}
