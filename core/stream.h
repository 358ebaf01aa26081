// File streams: one record reads a plain file, an archive member or gzip data decompressed on
// the fly, and writes plain files; stream_scanf is the program's own formatted reader.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>

struct file_stream {
    FILE *file;                  // the open file (the archive for a member), or null
    int32_t member_offset;       // offset of the stream's first byte in the file
    int32_t length;              // bytes the stream may deliver
    int32_t position;            // bytes taken from the source so far (decompressed for gzip)
    int pushed_back;             // a byte read ahead and already counted, or -1
    int gzip;                    // 1 when the source is gzip-compressed
    // gzip only:
    int32_t compressed_length;   // compressed bytes the stream may read
    int32_t compressed_consumed; // compressed bytes read so far
    int stream_end;              // 1 once the deflate data ended (or failed): final
    int inflate_live;            // 1 between inflateInit2 and inflateEnd
    int warned;                  // the corrupt-data warning was given
    uint32_t crc;                // CRC-32 of the decompressed bytes
    z_stream inflate_state;
    unsigned char input[16384];
    unsigned char window[1024];
    unsigned char *window_read;  // next decompressed byte to deliver
    char name[1024];             // what was opened, for messages
};

// Reading: -1 or a short count at the end.
int stream_getc(file_stream *s);
int stream_peekc(file_stream *s);
char *stream_read_line(file_stream *s, char *buffer, int size);
int stream_read(file_stream *s, void *buffer, int count);
// 1, or 0 (nothing changed) for gzip, a negative offset or one not below the length.
int stream_seek(file_stream *s, int32_t offset);
// The most bytes the stream can still deliver: what is left of a plain file or member; for
// gzip the size its trailer states, never more than deflate's best ratio allows for the
// compressed bytes left. Allocations sized by a header are checked against it.
int64_t stream_remaining(file_stream *s);

// Writing (plain files only; the position and length stay as they are).
int stream_putc(file_stream *s, int byte);
int stream_puts(file_stream *s, const char *text);
int stream_write(file_stream *s, const void *data, int count);
int stream_printf(file_stream *s, const char *format, ...) __attribute__((format(printf, 2, 3)));
int stream_flush(file_stream *s);

// The number of assignments made, or -1 (see stream_scanf.cpp for the rules).
int stream_scanf(file_stream *s, const char *format, ...) __attribute__((format(scanf, 2, 3)));
// stream_scanf over a text in memory (a value inside a line, say), by the same rules.
int stream_scan_text(const char *text, const char *format, ...)
    __attribute__((format(scanf, 2, 3)));
// One "%d" value, or INT32_MIN when none could be read.
int stream_read_int(file_stream *s);
// Skips blank space and lines that begin with '#'.
void stream_skip_comments(file_stream *s);

// Fills the record for a file opened at the stream's first byte: whole file when length is
// STREAM_WHOLE_FILE, else a member of that many bytes at member_offset.
void stream_attach(file_stream *s, FILE *file, int32_t member_offset, int32_t length,
                   const char *name);
// Starts gzip decompression on an attached stream: 1, or 0 for a rejected header (the caller
// closes the file).
int stream_start_gzip(file_stream *s);
// Delivers up to n decompressed bytes of a gzip stream (the position is the caller's).
int stream_gzip_read(file_stream *s, unsigned char *dst, int n);
// Ends the decompressor and closes the file; stream_close also frees the record. Both return 1
// when the file had no error and closed cleanly (every write reached it), else 0.
int stream_close_file(file_stream *s);
int stream_close(file_stream *s);

// The whole content of the named stream (mode "rb") with a terminating zero, or null.
char *file_to_string(const char *name);

constexpr int32_t STREAM_WHOLE_FILE = 2147483647;
constexpr int STREAM_INPUT_SIZE = 16384;
constexpr int STREAM_WINDOW_SIZE = 1024;
constexpr int FILE_TO_STRING_MAX = 16777216;
constexpr int64_t STREAM_DEFLATE_RATIO_MAX = 1032;  // output bytes per compressed byte, at most
