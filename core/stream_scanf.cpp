// stream_scanf, the program's own formatted reader, and the two small readers built on it.
//
// Rules that differ from the standard scanner: a literal that does not match returns -1 at
// once; 'x' takes no "0x" prefix; integers are stored as 32 bits (16 with 'h') and wrap; 'e',
// 'g' and 'u' are not conversions; an assigning %s or %[ must carry a width.
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "core/stream.h"
#include "platform/plyx.h"

namespace {

struct scan_state {
    file_stream *s;
    int consumed;  // bytes taken since the call began, for %n
};

enum scan_result { SCAN_OK, SCAN_INPUT_FAILURE, SCAN_MATCH_FAILURE };

}  // namespace

static int scan_peek(scan_state *st) {
    return stream_peekc(st->s);
}

static int scan_take(scan_state *st) {
    int c = stream_getc(st->s);
    if (c >= 0) st->consumed++;
    return c;
}

static bool scan_is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static void scan_skip_blanks(scan_state *st) {
    while (scan_is_blank(scan_peek(st))) scan_take(st);
}

static int scan_digit_value(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// Integers: sign, the base prefix for 'i', then digits while the width lasts. The value wraps
// in 32 bits.
static scan_result scan_integer(scan_state *st, int base, int width, uint32_t *value) {
    if (width == 0) width = 1000000;
    int c = scan_peek(st);
    if (c < 0) return SCAN_INPUT_FAILURE;
    bool negative = false;
    if (c == '-' || c == '+') {
        negative = c == '-';
        scan_take(st);
        width--;
    }
    uint32_t v = 0;
    int digits = 0;
    if (base == 0) {
        c = scan_peek(st);
        if (width <= 0 || c < '0' || c > '9') return SCAN_MATCH_FAILURE;
        if (c != '0') {
            base = 10;
        } else {
            scan_take(st);
            width--;
            digits = 1;
            base = 8;
            c = scan_peek(st);
            if (width > 0 && (c == 'x' || c == 'X')) {
                scan_take(st);
                width--;
                digits = 0;
                base = 16;
            }
        }
    }
    while (width > 0) {
        int d = scan_digit_value(scan_peek(st));
        if (d >= base) break;
        scan_take(st);
        width--;
        v = v * (uint32_t)base + (uint32_t)d;
        digits++;
    }
    if (digits == 0) return SCAN_MATCH_FAILURE;
    *value = negative ? 0u - v : v;
    return SCAN_OK;
}

// Factors of the binary ladder of powers of ten: 1e4096L .. 1e256L in extended precision,
// 1e128 .. 1e16 as doubles (so the large factors carry a double rounding), 1e8 .. 1e1 exact.
static const long double SCAN_POW10_LADDER[13] = {
    1e4096L, 1e2048L, 1e1024L, 1e512L, 1e256L, 1e128, 1e64, 1e32, 1e16, 1e8, 1e4, 1e2, 1e1};

static long double scan_pow10_ladder(int exponent) {
    long double p = 1.0L;
    for (; exponent >= 4096; exponent -= 4096) p *= SCAN_POW10_LADDER[0];
    for (int bit = 0; bit < 12; bit++)
        if (exponent & (2048 >> bit)) p *= SCAN_POW10_LADDER[bit + 1];
    return p;
}

static const double SCAN_POW10_DOUBLE[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr int SCAN_EXPONENT_LIMIT = 100000;

namespace {
// A decimal number as read: mantissa digits (exact while they fit 64 bits), exponent, sign.
struct scan_decimal {
    long double mantissa;
    uint64_t mantissa_exact;
    bool exact;
    int exponent;
    bool negative;
};
}  // namespace

// The value for the stored type (0 float, 1 double, 2 long double). Short decimals take one
// correctly rounded operation on exact operands; the rest goes through the ladder.
static long double scan_decimal_value(const scan_decimal &d, int kind, double *as_double,
                                      float *as_float) {
    int e = d.exponent < 0 ? -d.exponent : d.exponent;
    long double v;
    if (kind == 1 && d.exact && d.mantissa_exact < (1ull << 53) && e <= 22) {
        double m = (double)d.mantissa_exact;
        double r = d.exponent < 0 ? m / SCAN_POW10_DOUBLE[e] : m * SCAN_POW10_DOUBLE[e];
        *as_double = d.negative ? -r : r;
        return *as_double;
    }
    if (kind == 0 && d.exact && d.mantissa_exact < (1ull << 24) && e <= 10) {
        float m = (float)d.mantissa_exact;
        float p = (float)SCAN_POW10_DOUBLE[e];
        float r = d.exponent < 0 ? m / p : m * p;
        *as_float = d.negative ? -r : r;
        return *as_float;
    }
    if (d.exact && e <= 27) {
        // 10^27 and below are exact in extended precision: one rounding.
        long double p = scan_pow10_ladder(e);
        v = d.exponent < 0 ? (long double)d.mantissa_exact / p
                           : (long double)d.mantissa_exact * p;
    } else {
        long double p = scan_pow10_ladder(e);
        v = d.exponent < 0 ? d.mantissa * (1.0L / p) : d.mantissa * p;
    }
    if (d.negative) v = -v;
    *as_double = (double)v;
    *as_float = (float)v;
    return v;
}

// A floating number: sign, digits with one '.', an optional exponent; the width limits the
// bytes taken. No "inf", "nan" or hexadecimal forms.
static scan_result scan_float(scan_state *st, int width, scan_decimal *d) {
    if (width == 0) width = INT_MAX;
    *d = {0.0L, 0, true, 0, false};
    int c = scan_peek(st);
    if (c < 0) return SCAN_INPUT_FAILURE;
    if (c == '-' || c == '+') {
        d->negative = c == '-';
        scan_take(st);
        width--;
    }
    bool success = false, point = false;
    while (width > 0) {
        c = scan_peek(st);
        if (c >= '0' && c <= '9') {
            d->mantissa = d->mantissa * 10 + (c - '0');
            if (d->mantissa_exact > (UINT64_MAX - 9) / 10)
                d->exact = false;
            else
                d->mantissa_exact = d->mantissa_exact * 10 + (uint64_t)(c - '0');
            if (point && d->exponent > -SCAN_EXPONENT_LIMIT) d->exponent--;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        scan_take(st);
        width--;
        success = true;
    }
    c = scan_peek(st);
    if (width > 0 && (c == 'e' || c == 'E')) {
        scan_take(st);
        width--;
        bool minus = false;
        c = scan_peek(st);
        if (width > 0 && (c == '-' || c == '+')) {
            minus = c == '-';
            scan_take(st);
            width--;
        }
        int e = 0;
        while (width > 0 && (c = scan_peek(st)) >= '0' && c <= '9') {
            scan_take(st);
            width--;
            e = e * 10 + (c - '0');
            if (e > SCAN_EXPONENT_LIMIT) e = SCAN_EXPONENT_LIMIT;
        }
        d->exponent += minus ? -e : e;
        if (d->exponent > SCAN_EXPONENT_LIMIT) d->exponent = SCAN_EXPONENT_LIMIT;
        if (d->exponent < -SCAN_EXPONENT_LIMIT) d->exponent = -SCAN_EXPONENT_LIMIT;
    }
    return success ? SCAN_OK : SCAN_MATCH_FAILURE;
}

// The set of a %[ conversion; returns the format position after its ']', or null when the
// format ends first.
static const char *scan_parse_set(const char *f, bool set[256]) {
    bool invert = false;
    if (*f == '^') {
        invert = true;
        f++;
    }
    memset(set, 0, 256 * sizeof(bool));
    bool first = true;
    for (; *f && (first || *f != ']'); f++, first = false) {
        unsigned char a = (unsigned char)*f;
        if (f[1] == '-' && f[2] && f[2] != ']') {
            unsigned char b = (unsigned char)f[2];
            for (int c = a; c <= b; c++) set[c] = true;
            f += 2;
        } else {
            set[a] = true;
        }
    }
    if (*f != ']') return nullptr;
    if (invert)
        for (int c = 0; c < 256; c++) set[c] = !set[c];
    return f + 1;
}

// An assigning %s or %[ without a width could write past its destination: the format is
// logged (once in a row) and the conversion refused.
static void scan_refuse(const char *format) {
    static const char *last_refused = nullptr;
    if (format == last_refused) return;
    last_refused = format;
    plyx_log("Warning: stream_scanf refuses %%s or %%[ without a width in \"%.200s\"\n", format);
}

static int scan_vformat(file_stream *s, const char *format, va_list args) {
    scan_state st = {s, 0};
    int count = 0;
    for (const char *f = format; *f;) {
        unsigned char fc = (unsigned char)*f;
        if (scan_is_blank(fc)) {
            scan_skip_blanks(&st);
            f++;
            continue;
        }
        if (fc != '%') {
            if (scan_peek(&st) != fc) return -1;
            scan_take(&st);
            f++;
            continue;
        }
        f++;
        bool suppress = false;
        int width = 0, shorts = 0, longs = 0;
        for (;; f++) {
            if (*f == '*') {
                suppress = true;
            } else if (*f >= '0' && *f <= '9') {
                if (width < 10000000) width = width * 10 + (*f - '0');
            } else if (*f == 'h') {
                shorts++;
            } else if (*f == 'l') {
                longs++;
            } else if (*f == 'L' || *f == 'q') {
                longs = 2;
            } else {
                break;
            }
        }
        char conv = *f;
        if (conv == 0) return count;
        f++;
        scan_result r = SCAN_OK;
        bool counts = !suppress;
        switch (conv) {
        case '%':
            if (scan_peek(&st) != '%') return -1;
            scan_take(&st);
            counts = false;
            break;
        case 'd':
        case 'i':
        case 'o':
        case 'x':
        case 'X': {
            scan_skip_blanks(&st);
            int base = conv == 'd' ? 10 : conv == 'i' ? 0 : conv == 'o' ? 8 : 16;
            uint32_t v = 0;
            r = scan_integer(&st, base, width, &v);
            if (r == SCAN_OK && !suppress) {
                if (shorts)
                    *va_arg(args, int16_t *) = (int16_t)(uint16_t)v;
                else
                    *va_arg(args, int32_t *) = (int32_t)v;
            }
            break;
        }
        case 'f': {
            scan_skip_blanks(&st);
            scan_decimal d;
            r = scan_float(&st, width, &d);
            if (r == SCAN_OK && !suppress) {
                int kind = longs >= 2 ? 2 : longs;
                double as_double = 0;
                float as_float = 0;
                long double v = scan_decimal_value(d, kind, &as_double, &as_float);
                if (kind == 2)
                    *va_arg(args, long double *) = v;
                else if (kind == 1)
                    *va_arg(args, double *) = as_double;
                else
                    *va_arg(args, float *) = as_float;
            }
            break;
        }
        case 's': {
            if (!suppress && width == 0) {
                scan_refuse(format);
                return count;
            }
            scan_skip_blanks(&st);
            char *out = suppress ? nullptr : va_arg(args, char *);
            int n = 0;
            int c;
            while ((width == 0 || n < width) && (c = scan_peek(&st)) >= 0 && !scan_is_blank(c)) {
                scan_take(&st);
                if (out) out[n] = (char)c;
                n++;
            }
            if (n == 0) r = SCAN_INPUT_FAILURE;  // only the end stops %s before a byte
            if (out && n > 0) out[n] = 0;
            break;
        }
        case 'c': {
            int want = width == 0 ? 1 : width;
            char *out = suppress ? nullptr : va_arg(args, char *);
            for (int n = 0; n < want; n++) {
                int c = scan_take(&st);
                if (c < 0) {
                    r = SCAN_INPUT_FAILURE;
                    break;
                }
                if (out) out[n] = (char)c;
            }
            break;
        }
        case '[': {
            bool set[256];
            const char *after = scan_parse_set(f, set);
            if (!after) return count;
            f = after;
            if (!suppress && width == 0) {
                scan_refuse(format);
                return count;
            }
            char *out = suppress ? nullptr : va_arg(args, char *);
            int n = 0;
            int c;
            while ((width == 0 || n < width) && (c = scan_peek(&st)) >= 0 && set[c]) {
                scan_take(&st);
                if (out) out[n] = (char)c;
                n++;
            }
            if (n == 0) r = scan_peek(&st) < 0 ? SCAN_INPUT_FAILURE : SCAN_MATCH_FAILURE;
            if (out && n > 0) out[n] = 0;
            break;
        }
        case 'n':
            if (!suppress) {
                if (shorts)
                    *va_arg(args, int16_t *) = (int16_t)st.consumed;
                else
                    *va_arg(args, int32_t *) = st.consumed;
            }
            counts = false;
            break;
        default:
            return count;  // 'e', 'g', 'u' and the rest are not conversions
        }
        if (r == SCAN_INPUT_FAILURE) return count == 0 ? -1 : count;
        if (r == SCAN_MATCH_FAILURE) return count;
        if (counts) count++;
    }
    return count;
}

int stream_scanf(file_stream *s, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int n = scan_vformat(s, format, args);
    va_end(args);
    return n;
}

int stream_scan_text(const char *text, const char *format, ...) {
    size_t length = strlen(text);
    if (length > (size_t)INT32_MAX) length = INT32_MAX;
    FILE *f = nullptr;
    if (length > 0 && !(f = fmemopen((void *)text, length, "r"))) return -1;
    file_stream s;
    stream_attach(&s, f, 0, (int32_t)length, "text");
    va_list args;
    va_start(args, format);
    int n = scan_vformat(&s, format, args);
    va_end(args);
    stream_close_file(&s);
    return n;
}

int stream_read_int(file_stream *s) {
    int v;
    if (stream_scanf(s, "%d", &v) != 1) return INT32_MIN;
    return v;
}

void stream_skip_comments(file_stream *s) {
    for (;;) {
        int n = 0;
        stream_scanf(s, " #%*[^\n]%n", &n);
        if (n == 0) return;
    }
}
