// Points series: their events, results and standings.
#pragma once

// Enters the last race into the current points series event.
void series_enter_results();
// Frees every series read at start-up with its events.
void series_free_all();
