// File streams: taking bytes, lines and blocks, writing, closing and whole-file reads.
#include "core/stream.h"

#include <cstdarg>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "core/mem.h"
#include "core/vfs.h"
#include "platform/plyx.h"

void stream_attach(file_stream *s, FILE *file, int32_t member_offset, int32_t length,
                   const char *name) {
    s->file = file;
    s->member_offset = member_offset;
    s->length = length;
    s->position = 0;
    s->pushed_back = -1;
    s->gzip = 0;
    s->compressed_length = 0;
    s->compressed_consumed = 0;
    s->stream_end = 0;
    s->inflate_live = 0;
    s->warned = 0;
    s->crc = 0;
    s->window_read = s->window;
    memset(&s->inflate_state, 0, sizeof s->inflate_state);
    s->inflate_state.next_out = s->window;
    snprintf(s->name, sizeof s->name, "%s", name);
}

// One byte from the source, counted in the position; the pushed-back byte first.
static inline int stream_take(file_stream *s) {
    if (s->pushed_back >= 0) {
        int c = s->pushed_back;
        s->pushed_back = -1;
        return c;
    }
    if (s->position >= s->length) return -1;
    int c;
    if (s->gzip) {
        if (s->window_read < s->inflate_state.next_out) {
            c = *s->window_read++;
        } else {
            unsigned char byte;
            if (stream_gzip_read(s, &byte, 1) != 1) return -1;
            c = byte;
        }
    } else {
        c = getc_unlocked(s->file);  // a stream has one user: no lock needed
        if (c == EOF) return -1;
    }
    s->position++;
    return c;
}

int stream_getc(file_stream *s) {
    return stream_take(s);
}

int stream_peekc(file_stream *s) {
    s->pushed_back = stream_take(s);
    return s->pushed_back;
}

char *stream_read_line(file_stream *s, char *buffer, int size) {
    if (size < 1) return nullptr;
    int n = 0;
    while (n < size - 1) {
        int c = stream_take(s);
        if (c < 0) {
            if (n == 0) return nullptr;
            break;
        }
        buffer[n++] = (char)c;
        if (c == '\n') break;
    }
    buffer[n] = 0;
    return buffer;
}

int stream_read(file_stream *s, void *buffer, int count) {
    if (count <= 0 || !s->file) return 0;
    unsigned char *out = (unsigned char *)buffer;
    int got = 0;
    if (s->pushed_back >= 0) {
        out[got++] = (unsigned char)s->pushed_back;
        s->pushed_back = -1;
    }
    int32_t room = s->length - s->position;
    int want = count - got < room ? count - got : room;
    if (want > 0) {
        int n = s->gzip ? stream_gzip_read(s, out + got, want)
                        : (int)fread(out + got, 1, (size_t)want, s->file);
        s->position += n;
        got += n;
    }
    return got;
}

int stream_seek(file_stream *s, int32_t offset) {
    if (s->gzip || !s->file || offset < 0 || offset >= s->length) return 0;
    if (fseeko(s->file, (off_t)s->member_offset + offset, SEEK_SET) != 0) return 0;
    s->pushed_back = -1;
    s->position = offset;
    return 1;
}

// The end of the stream's source bytes in its file: the member's end or the file's size.
static int64_t stream_source_end(file_stream *s, int32_t length) {
    struct stat st;
    int64_t end = (int64_t)s->member_offset + length;
    int fd = fileno(s->file);
    if (fd >= 0) {
        if (fstat(fd, &st) == 0 && st.st_size < end) end = st.st_size;
        return end;
    }
    // A stream over memory has no descriptor: its size is where a seek to the end lands.
    long here = ftell(s->file);
    if (here >= 0 && fseek(s->file, 0, SEEK_END) == 0) {
        long size = ftell(s->file);
        fseek(s->file, here, SEEK_SET);
        if (size >= 0 && size < end) end = size;
    }
    return end;
}

int64_t stream_remaining(file_stream *s) {
    if (!s->file) return 0;
    int64_t pushed = s->pushed_back >= 0 ? 1 : 0;
    if (!s->gzip) {
        int64_t end = stream_source_end(s, s->length) - s->member_offset;
        return (end > s->position ? end - s->position : 0) + pushed;
    }
    if (s->stream_end) return (int64_t)(s->inflate_state.next_out - s->window_read) + pushed;
    int64_t end = stream_source_end(s, s->compressed_length);
    int64_t compressed_left = end - s->member_offset - s->compressed_consumed + s->inflate_state.avail_in;
    if (compressed_left < 0) compressed_left = 0;
    int64_t most = compressed_left * STREAM_DEFLATE_RATIO_MAX + STREAM_WINDOW_SIZE;
    unsigned char trailer[4];
    if (end - s->member_offset >= 18 && pread(fileno(s->file), trailer, 4, (off_t)(end - 4)) == 4) {
        int64_t stated = (int64_t)((uint32_t)trailer[0] | (uint32_t)trailer[1] << 8 |
                                   (uint32_t)trailer[2] << 16 | (uint32_t)trailer[3] << 24);
        stated = stated > s->position ? stated - s->position : 0;
        if (stated < most) most = stated;
    }
    return most + pushed;
}

int stream_putc(file_stream *s, int byte) {
    return fputc(byte, s->file) == EOF ? 0 : 1;
}

int stream_puts(file_stream *s, const char *text) {
    return fputs(text, s->file);
}

int stream_write(file_stream *s, const void *data, int count) {
    if (count <= 0) return 0;
    return (int)fwrite(data, 1, (size_t)count, s->file);
}

int stream_printf(file_stream *s, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int n = vfprintf(s->file, format, args);
    va_end(args);
    return n;
}

int stream_flush(file_stream *s) {
    return fflush(s->file);
}

int stream_close_file(file_stream *s) {
    if (s->inflate_live) inflateEnd(&s->inflate_state);
    s->inflate_live = 0;
    int good = 1;
    if (s->file) {
        if (ferror(s->file)) good = 0;
        if (fclose(s->file) != 0) good = 0;
    }
    s->file = nullptr;
    s->length = 0;
    s->position = 0;
    s->pushed_back = -1;
    return good;
}

int stream_close(file_stream *s) {
    if (!s) return 0;
    int good = stream_close_file(s);
    mem_free(s);
    return good;
}

char *file_to_string(const char *name) {
    file_stream *s = stream_open(name, "rb");
    if (!s) return nullptr;
    char *buf = (char *)mem_alloc(FILE_TO_STRING_MAX);
    if (!buf) {
        stream_close(s);
        return nullptr;
    }
    int32_t room = s->length - s->position + (s->pushed_back >= 0 ? 1 : 0);
    int n = stream_read(s, buf, room < FILE_TO_STRING_MAX ? room : FILE_TO_STRING_MAX);
    stream_close(s);
    if (n == FILE_TO_STRING_MAX) {
        plyx_log("File %s too long for file_to_string\n", name);
        mem_free(buf);
        return nullptr;
    }
    buf[n] = 0;
    char *shrunk = (char *)mem_realloc(buf, (size_t)n + 1);
    return shrunk ? shrunk : buf;
}
