// The track catalogue: every track folder of the file index with its one-line description.
#pragma once

struct track_catalogue_record {
    int count;
    char **folders;        // virtual folder paths without a trailing '/', owned
    char **descriptions;   // owned, sorted together with the folders
};

extern track_catalogue_record track_catalogue;

// Lists the folders of every "terrain.hf" and "terrain.hf.gz" of the file index, sorted by
// description ignoring letter case, and makes the folders the Track choice's options: 1 when a
// track was found, else 0 (the catalogue is empty).
int track_scan_catalogue();
// The Track choice's option (a catalogue folder) a track name selects: the folder equal to it ("tracks/practice"), else
// the one folder whose last component equals it, case ignored ("practice"). -1 when none or more
// than one does; matches (may be null) gets how many did (0, 1 or 2 for two or more).
int track_find_by_name(const char *name, int *matches);
// Frees the catalogue's names and descriptions; the Track choice is left without options.
void track_catalogue_free();

constexpr int TRACK_DESCRIPTION_MAX = 1023;   // characters kept of a "desc" line
