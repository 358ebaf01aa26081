// engine-sound: a bike's engine sound synthesised over a script of engine speeds and loads into
// a WAV file, with a line of measures per segment; or a --record-audio recording analysed.
//
//   engine-sound --bike NAME | --class C [--texture NAME]  [--script RPM:LOAD:SECONDS,...]
//                --out FILE.wav
//   engine-sound --analyse FILE [--out FILE.wav]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bike/bike_info.h"
#include "core/console.h"
#include "core/folders.h"
#include "core/vfs.h"
#include "present/engine_sound.h"
#include "tools/engine-sound/sound_measure.h"

namespace {

struct segment {
    double rpm, load, seconds;
};

const char *DEFAULT_SCRIPT =
    "1800:0.14:2,4000:1:1,6000:1:1,9000:1:1,12000:1:1,12000:0:1,1800:0.14:2";
constexpr int PASS_SAMPLES = 735;      // 44100 / 60
constexpr double RAMP_SECONDS = 0.25;
constexpr int RECORD_RATE = 88320;

int usage() {
    fprintf(stderr,
            "usage: engine-sound --bike NAME | --class C [--texture NAME] [--script "
            "RPM:LOAD:SECONDS,...] --out FILE.wav\n"
            "       engine-sound --analyse FILE [--out FILE.wav]\n");
    return 2;
}

bool parse_script(const char *text, std::vector<segment> *out) {
    std::string s = text;
    size_t at = 0;
    while (at <= s.size()) {
        size_t end = s.find(',', at);
        if (end == std::string::npos) end = s.size();
        segment g;
        char tail;
        if (sscanf(s.substr(at, end - at).c_str(), "%lf:%lf:%lf%c", &g.rpm, &g.load, &g.seconds,
                   &tail) != 3 ||
            !std::isfinite(g.rpm) || !std::isfinite(g.load) || !std::isfinite(g.seconds) ||
            g.rpm < 0 || g.rpm > 60000 || g.seconds <= 0 || g.seconds > 600)
            return false;
        out->push_back(g);
        at = end + 1;
    }
    return !out->empty();
}

void print_segment(const segment &g, const unsigned char *bytes, size_t count, double fire_factor) {
    double revolution = 60.0 / g.rpm;
    sound_measures m = sound_measure_single(bytes, count, 44100, revolution);
    double expected = g.rpm * fire_factor / 60.0;
    double firing = m.period > 0 ? 1.0 / m.period : 0;
    const char *kind = m.period > 1.5 * revolution ? "every other revolution" : "every revolution";
    printf("rpm %.0f load %.2f: firing %.1f Hz (expected %.1f), %s, jitter %.1f%%, rms %.3f, "
           "clipped %.2f%%\n",
           g.rpm, g.load, firing, expected, kind, m.jitter, m.rms, m.clipped);
}

int synthesise(const char *engine_class, const char *texture, const std::vector<segment> &script,
               const char *out) {
    auto e = std::make_unique<engine_sound>();
    engine_sound_load_class(e.get(), engine_class, texture);
    const engine_sound_params &p = e->params;
    printf("class %s, texture %s, table %s, fire factor %.2f, torque %.2f..%.2f\n",
           engine_class ? engine_class : "(none)", texture ? texture : "(none)",
           p.table ? p.table->name : "(none)", p.fire_factor, p.low_torque, p.high_torque);
    std::vector<unsigned char> all;
    static unsigned char pass[ENGINE_RING];
    int play = 0;
    double previous_rpm = script[0].rpm;
    e->last_rpm = (float)previous_rpm;
    for (const segment &g : script) {
        int passes = (int)std::lround(g.seconds * 60);
        size_t start = all.size();
        for (int i = 0; i < passes; i++) {
            double t = i / 60.0;
            double rpm = t < RAMP_SECONDS ? previous_rpm + (g.rpm - previous_rpm) * t / RAMP_SECONDS
                                          : g.rpm;
            float torque = p.low_torque + (float)g.load * (p.high_torque - p.low_torque);
            int n = engine_sound_synthesize(e.get(), (float)rpm, torque, play, pass);
            all.insert(all.end(), pass, pass + n);
            play = (play + PASS_SAMPLES) % ENGINE_RING;
        }
        previous_rpm = g.rpm;
        // The measures leave the ramp out.
        size_t skip = (size_t)(RAMP_SECONDS * 44100);
        if (all.size() > start + skip)
            print_segment(g, all.data() + start + skip, all.size() - start - skip, p.fire_factor);
    }
    if (!sound_write_wav(out, all.data(), all.size(), 44100)) {
        fprintf(stderr, "engine-sound: can't write '%s'\n", out);
        return 1;
    }
    printf("%s: %.2f s\n", out, all.size() / 44100.0);
    return 0;
}

int analyse(const char *path, const char *out) {
    FILE *f = fopen(path, "rb");
    if (!f) {
        fprintf(stderr, "engine-sound: can't read '%s'\n", path);
        return 1;
    }
    std::vector<unsigned char> stereo;
    unsigned char block[65536];
    for (size_t n; (n = fread(block, 1, sizeof block, f)) > 0;) {
        stereo.insert(stereo.end(), block, block + n);
        if (stereo.size() > (size_t)1 << 30) break;  // over an hour: enough
    }
    fclose(f);
    size_t frames = stereo.size() / 2;
    std::vector<unsigned char> left(frames);
    sound_left_channel(stereo.data(), frames, left.data());
    // The firing rate followed every eighth of a second; each half second prints the median
    // of its four, and the onset jitter read near that rate.
    size_t half = RECORD_RATE / 2;
    std::vector<double> track = sound_firing_track(left.data(), frames, RECORD_RATE, 0.125);
    for (size_t at = 0, line = 0; at + half <= frames; at += half, line++) {
        std::vector<double> rates;
        for (size_t k = 4 * line; k < 4 * line + 4 && k < track.size(); k++)
            if (track[k] > 0) rates.push_back(track[k]);
        std::sort(rates.begin(), rates.end());
        size_t n = rates.size();
        double firing = n ? (rates[(n - 1) / 2] + rates[n / 2]) / 2 : 0;
        double lo = firing > 0 ? 0.9 / firing : 1.0 / 250, hi = firing > 0 ? 1.1 / firing : 0.2;
        sound_measures m = sound_measure(left.data() + at, half, RECORD_RATE, lo, hi, 0);
        printf("%6.1f s: firing %.1f Hz, jitter %.1f%%, rms %.3f, clipped %.2f%%\n",
               (double)at / RECORD_RATE, firing, m.jitter, m.rms, m.clipped);
    }
    if (out && !sound_write_wav(out, left.data(), left.size(), RECORD_RATE)) {
        fprintf(stderr, "engine-sound: can't write '%s'\n", out);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const char *bike = nullptr, *engine_class = nullptr, *texture = nullptr, *out = nullptr;
    const char *script_text = DEFAULT_SCRIPT, *recording = nullptr;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!v) return usage();
        if (!strcmp(a, "--bike")) bike = v;
        else if (!strcmp(a, "--class")) engine_class = v;
        else if (!strcmp(a, "--texture")) texture = v;
        else if (!strcmp(a, "--script")) script_text = v;
        else if (!strcmp(a, "--out")) out = v;
        else if (!strcmp(a, "--analyse")) recording = v;
        else return usage();
        i++;
    }
    if (recording) return analyse(recording, out);
    if (!out || (!bike && !engine_class)) return usage();
    std::vector<segment> script;
    if (!parse_script(script_text, &script)) {
        fprintf(stderr, "engine-sound: bad script '%s'\n", script_text);
        return 2;
    }
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "engine-sound: can't find game data (set ZR_HOME)\n");
        return 1;
    }
    vfs_build_index();
    std::string texture_name;
    if (bike) {
        const bike_info *row = bike_info_find(bike);
        if (!row) {
            fprintf(stderr, "engine-sound: no bike '%s'\n", bike);
            return 1;
        }
        engine_class = row->engine_class;
        texture_name = bike_file(row, BIKE_F_BIKE_TEXTURE);
        texture = texture_name.c_str();
    }
    int result = synthesise(engine_class, texture, script, out);
    for (auto &line : console_log.lines)
        if (line[0]) printf("%s\n", line);
    engine_sound_free_tables();
    vfs_shutdown();
    return result;
}
