/* The engine's two calls into the script host, the time-out check and the fatal handler, made
   through pointers the host sets (the engine library sits below the host's). */
#include <stdlib.h>

int (*zr_duk_timeout_hook)(void *udata) = NULL;
void (*zr_duk_fatal_hook)(void *udata, const char *msg) = NULL;

int zr_duk_timeout_check(void *udata) {
    return zr_duk_timeout_hook ? zr_duk_timeout_hook(udata) : 0;
}

void zr_duk_fatal(void *udata, const char *msg) {
    if (zr_duk_fatal_hook) zr_duk_fatal_hook(udata, msg);
    /* The host's handler never returns; without one there is nowhere to go back to. */
    abort();
}
