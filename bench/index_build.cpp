// Building the file index over 20,000 files and a 20,000-member archive against a bare
// opendir/fstatat walk of the same folders (target: within 2x).
#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "bench/bench.h"
#include "core/vfs.h"

static int bench_walk(const std::string &folder) {
    DIR *d = opendir(folder.c_str());
    if (!d) return 0;
    int n = 0;
    while (struct dirent *e = readdir(d)) {
        if (e->d_name[0] == '.' && (!e->d_name[1] || (e->d_name[1] == '.' && !e->d_name[2])))
            continue;
        struct stat st;
        if (fstatat(dirfd(d), e->d_name, &st, 0) != 0) continue;
        n += S_ISDIR(st.st_mode) ? bench_walk(folder + "/" + e->d_name) : 1;
    }
    closedir(d);
    return n;
}

int main() {
    bench_dir dir;
    std::string game = dir.file("game");
    mkdir(game.c_str(), 0755);
    mkdir(dir.file("home").c_str(), 0755);
    for (int folder = 0; folder < 20; folder++) {
        std::string sub = game + "/folder" + std::to_string(folder);
        mkdir(sub.c_str(), 0755);
        for (int i = 0; i < 1000; i++) {
            FILE *f = fopen((sub + "/File_" + std::to_string(i * 7919 % 1000) + ".dat").c_str(),
                            "wb");
            fclose(f);
        }
    }
    std::string header, data;
    for (int i = 0; i < 20000; i++) {
        header += "1 members/m" + std::to_string(i * 7919 % 20000) + ".txt\n";
        data += 'x';
    }
    FILE *f = fopen((game + "/zzzz.saf").c_str(), "wb");
    fputs((header + "-\n" + data).c_str(), f);
    fclose(f);
    setenv("ZR_HOME", game.c_str(), 1);
    setenv("XDG_DATA_HOME", dir.file("home").c_str(), 1);
    setenv("PLYX_LOGFILE", dir.file("log.txt").c_str(), 1);

    volatile int sink = 0;
    bench_stats reference = bench_runs(5, [&] { sink = sink + bench_walk(game); });
    bench_stats ours = bench_runs(5, [&] {
        const char **names = vfs_build_index();
        int n = 0;
        while (names[n]) n++;
        sink = sink + n;
        vfs_shutdown();
    });
    return bench_report("index of 20,000 files and 20,000 members", "vfs_build_index", ours,
                        "bare walk", reference, 2.0);
}
