// The program's life: start-up in a fixed order, the frame loop, shutdown in a fixed order.
#pragma once

// How start-up ended.
enum startup_outcome {
    STARTUP_RUN,          // everything is up: run the frame loop, then the whole shutdown
    STARTUP_STOPPED,      // stopped after the window opened: shutdown from "Closing audio"
    STARTUP_FAILED        // stopped before the window opened; nothing left to take down
};

// The whole program: returns its exit code.
int game_main(int argc, char **argv);
// Start-up steps 2 to 36; *exit_code is the code to end with when it does not run.
startup_outcome game_startup(int argc, char **argv, int *exit_code);
// The shutdown steps, all of them or from "Closing audio" on.
void game_shutdown(int from_closing_audio);
// Gives the layers below the program what they call up to: the loading screen's pictures and
// input release, the race's script unloading and working-set request.
void startup_install_hooks();
// Builds the track catalogue; without a track, "No tracks found" and exit code 1.
void startup_require_tracks();
// Waits until a frame can begin (step 23); a close request or a minute without one ends the
// wait. 1 when the frame began, else 0 with the exit code: 0 after a close, 1 after the wait.
int startup_wait_for_frame(int *exit_code);
// Steps 24 to 26 inside a begun frame: the probe and the shader programs, the GL state, the
// fonts, the HUD images and the title image.
void startup_graphics();
// Leaves the program at once with the code, closing the window, the log and the platform.
[[noreturn]] void startup_exit(int code);

constexpr const char *ZR_BUILD_STAMP = "2020-07-17-1524 snapshot";
constexpr double STARTUP_FRAME_WAIT_SECONDS = 60.0;
constexpr double STARTUP_FRAME_RETRY_SECONDS = 1.0 / 16.0;
