// The track editor as the frame loop sees it: its view, its keys and its per-tick work.
#pragma once

// Draws the editor's view.
void editor_draw();
// Offers a key: non-zero when the editor took it.
int editor_handle_key(int code, int pressed);
// The editor's work of one tick.
void editor_update();
