// The configuration file "@config" and the start-up helpers that feed settings.
#pragma once

// 1 when the stock collision shapes have the build's fingerprint.
extern int stock_models_match;

// Builds the display-mode list behind the Video Mode choice.
void config_build_video_modes();
// Reads "@config" when it exists.
void config_read();
// Rewrites "@config".
void config_write();
// Selects in the Track choice the track named by track_name, else by the configuration.
void config_select_start_track();
// Computes the stock-shape fingerprint and sets stock_models_match.
void util_check_stock_models();
