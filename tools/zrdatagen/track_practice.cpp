// The stock track "tracks/practice": a small motocross loop (a flat start straight, two bermed
// turns and a tabletop jump on the back straight) inside an earth bank. Integer arithmetic only,
// so the bytes never depend on the machine.
#include "tools/zrdatagen/datagen.h"

// The field: 2^6 x 2 + 1 = 129 samples a side, 4 ft apart, heights 0..64 ft.
static const int PRACTICE_K = 6;
static const int PRACTICE_N = 2 * (1 << PRACTICE_K) + 1;
static const int PRACTICE_SPACING = 4;
static const int PRACTICE_MAX_HEIGHT = 64;

// Heights below are in sixteenths of a foot; distances across the track in sixteenths of a
// sample.
static const int GROUND = 16 * 16;        // the infield and surroundings
static const int DUG = 8;                 // the track lies half a foot below the ground
static const int HALF_WIDTH = 3 * 16;     // 24 ft of track
static const int SHOULDER = 3 * 16;       // blends the track into the ground
static const int BERM = 4 * 16;           // the outer edge of a turn stands 4 ft up
static const int JUMP = 6 * 16;           // the tabletop's height
static const int BANK = 8;                // samples of rising bank at the edges

static int isqrt(int v) {
    int r = 0;
    for (int bit = 1 << 14; bit > 0; bit >>= 1)
        if ((r + bit) * (r + bit) <= v) r += bit;
    return r;
}

// The tabletop on the back straight: up 8 samples, flat 8, down 12.
static int jump_profile(int x) {
    if (x < 50 || x >= 78) return 0;
    if (x < 58) return JUMP * (x - 50) / 8;
    if (x < 66) return JUMP;
    return JUMP * (78 - x) / 12;
}

// Height of sample (x, z) in sixteenths of a foot. The centre line is an oval: straights from
// x 44 to 84 at z 38 (start) and z 90 (back), joined by half circles of radius 26 samples whose
// berms rise over their first 8 samples.
static int practice_height(int x, int z) {
    int ground = GROUND;
    int edge = x;
    for (int e : {z, PRACTICE_N - 1 - x, PRACTICE_N - 1 - z})
        if (e < edge) edge = e;
    if (edge < BANK) ground += (BANK - edge) * 16;

    int across, track;
    if (x >= 44 && x <= 84) {
        int dz = z > 64 ? z - 64 : 64 - z;
        across = (dz > 26 ? dz - 26 : 26 - dz) * 16;
        track = GROUND - DUG + (z > 64 ? jump_profile(x) : 0);
    } else {
        int cx = x < 44 ? 44 : 84;
        int into = x < 44 ? 44 - x : x - 84;
        int r = isqrt(((x - cx) * (x - cx) + (z - 64) * (z - 64)) * 256);
        across = r > 416 ? r - 416 : 416 - r;
        int outer = r > 416 ? (across < HALF_WIDTH ? across : HALF_WIDTH) : 0;
        track = GROUND - DUG + BERM * outer / HALF_WIDTH * (into < 8 ? into : 8) / 8;
    }
    if (across <= HALF_WIDTH) return track;
    if (across >= HALF_WIDTH + SHOULDER) return ground;
    int t = across - HALF_WIDTH;
    return (track * (SHOULDER - t) + ground * t) / SHOULDER;
}

std::string datagen_practice_terrain() {
    std::string out = std::to_string(PRACTICE_K) + " " + std::to_string(PRACTICE_SPACING) +
                      " 0 " + std::to_string(PRACTICE_MAX_HEIGHT) + "\n:";
    for (int z = 0; z < PRACTICE_N; z++)
        for (int x = 0; x < PRACTICE_N; x++)
            datagen_put_le16(&out, (unsigned)(practice_height(x, z) * 64));
    return out;
}

std::string datagen_practice_desc() {
    return "Practice Track\n";
}
