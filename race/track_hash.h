// The track hash: one RIPEMD-160 over the files that make a track ride the way it does, which
// a server compares with its own.
#pragma once

#include <cstdint>

#include "core/digest.h"

// The hash of the loaded track (zero without one), as track_load finishes it.
extern uint8_t track_hash[20];
// The track description: the catalogue's line for the loaded folder, else the folder name.
extern const char *track_description;

// Feeds the whole file (a '@' name; a ".gz" variant inflated) into the digest; a file that does
// not open adds nothing.
void track_hash_file(ripemd160_state *s, const char *name);
// Feeds the folder's ground files in their fixed order: "terrain.hf", "terrain.png",
// "texturelist", "tilemap", "tileinfo".
void track_hash_ground(ripemd160_state *s, const char *folder);
// Feeds every distinct statue shape file, by name, in statue order.
void track_hash_statue_shapes(ripemd160_state *s);
// The description of a catalogue folder (the folder itself when it is not listed).
const char *track_describe(const char *folder);
