// The steps of a race tick as they begin, told to a watcher (tests that check their order; null,
// the default, costs one test a step).
#pragma once

// A step of the tick; those of one rider come with its slot, the others with -1.
enum race_tick_step {
    TICK_STEP_SCRIPT,         // the track script's tick handler
    TICK_STEP_POSE,           // riders driven from their history posed
    TICK_STEP_TRIAL_LAPS,     // time trial: the lap numbers of slots 0 and 1 remembered
    TICK_STEP_CONTACT_LIST,   // a rider put on the contact list
    TICK_STEP_GROUND,         // a rider's ground and statue contacts
    TICK_STEP_GATE_ARMS,      // a history rider against the gate arms
    TICK_STEP_RIDER_PAIRS,    // the contact list sorted and its pairs met
    TICK_STEP_ROOST,          // a rider's turn to throw roost (history riders throw none)
    TICK_STEP_WORLD,          // the world step
    TICK_STEP_RUTS,           // a rider's wheel contacts into its ruts
    TICK_STEP_DRIVE,          // a robot's controls
    TICK_STEP_FADE,           // online: a remote rider's fade
    TICK_STEP_START_RULES,    // online: the local rider held at the gate
    TICK_STEP_BIKE,           // a bike step
    TICK_STEP_SAMPLE,         // checkpoint passing and lap samples
    TICK_STEP_PARTICLES,      // the particles moved
    TICK_STEP_ARMS,           // the start gate arms moved
    TICK_STEP_CLOCK,          // the clock advanced
    TICK_STEP_STANDINGS,      // online: the standings rebuilt
    TICK_STEP_DEMO,           // the demo frame written and frames read
    TICK_STEP_TRIAL_CYCLE,    // time trial: the lap cycle
    TICK_STEP_GRAPH,          // the viewed rider's suspension into the graph
    TICK_STEPS
};

extern void (*race_tick_step)(int step, int slot);

inline void race_tick_steps(int step, int slot = -1) {
    if (race_tick_step) race_tick_step(step, slot);
}
