// Starting the next event of a points series: the line-up from the previous places, the
// event's track and race settings.
#pragma once

// The series chosen on the Points Series page (-1 none).
extern int menu_series_chosen;

// Starts the chosen series' next event (not raced for points): 1, or 0 when the series has no
// event left (or none is chosen) and nothing starts.
int menu_start_series_event();
// "Enter Next Event": nothing while the chosen series is being raced; otherwise starts its next
// event and marks it as raced for points. 1 when a race started.
int menu_enter_next_event();

constexpr int MENU_SERIES_OPPONENT_ROLE = 1000;   // + rider number: a series opponent
