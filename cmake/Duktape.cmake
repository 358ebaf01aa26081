# Duktape built in the project from the packaged single-file source, as C, with our configuration:
# the interrupt counter, the host's time-out check and fatal handler (the packaged header turns
# the first two off and has no fatal handler, so an uncaught error would abort the game), a check
# every 1024 instructions and a regular-expression step limit of one million. Made at configure
# time in build*/duktape/; a source whose text moved fails the configuration.
set(ZR_DUK_SOURCE "/usr/share/duktape" CACHE PATH "The packaged Duktape source (duktape-dev)")
set(duk_out "${CMAKE_BINARY_DIR}/duktape")
file(MAKE_DIRECTORY "${duk_out}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${ZR_DUK_SOURCE}/duk_config.h" "${ZR_DUK_SOURCE}/duktape.c" "${ZR_DUK_SOURCE}/duktape.h"
  "${CMAKE_CURRENT_LIST_FILE}")

# zr_duk_replace(var old new): replaces the one exact text, or fails the configuration.
function(zr_duk_replace var old new)
  string(FIND "${${var}}" "${old}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "Duktape source: '${old}' not found; the packaged version changed")
  endif()
  string(REPLACE "${old}" "${new}" text "${${var}}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# Writes the file only when its text changed, so a new configuration rebuilds nothing.
function(zr_duk_write name text)
  file(WRITE "${duk_out}/${name}.new" "${text}")
  configure_file("${duk_out}/${name}.new" "${duk_out}/${name}" COPYONLY)
  file(REMOVE "${duk_out}/${name}.new")
endfunction()

file(READ "${ZR_DUK_SOURCE}/duk_config.h" duk_config)
zr_duk_replace(duk_config "/* __OVERRIDE_DEFINES__ */" "/* __OVERRIDE_DEFINES__ */
/* ZR Simulator: the script host's time-out check and fatal handler (script/script_engine.c). */
#if defined(__cplusplus)
extern \"C\" {
#endif
int zr_duk_timeout_check(void *udata);
void zr_duk_fatal(void *udata, const char *msg);
#if defined(__cplusplus)
}
#endif
#define DUK_USE_INTERRUPT_COUNTER
#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) zr_duk_timeout_check((udata))
#define DUK_USE_FATAL_HANDLER(udata, msg) zr_duk_fatal((udata), (msg))")
zr_duk_write(duk_config.h "${duk_config}")

file(READ "${ZR_DUK_SOURCE}/duktape.c" duk_c)
zr_duk_replace(duk_c "#define DUK_HTHREAD_INTCTR_DEFAULT (256L * 1024L)"
                     "#define DUK_HTHREAD_INTCTR_DEFAULT 1024L")
zr_duk_replace(duk_c "#define DUK_RE_EXECUTE_STEPS_LIMIT 1000000000L"
                     "#define DUK_RE_EXECUTE_STEPS_LIMIT 1000000L")
# The host asks for the executor's interrupt (and with it the time-out check) at the next
# instruction once a call is past its deadline: a loop around a slow native runs only a few
# instructions between the counter's checks.
string(APPEND duk_c "
DUK_EXTERNAL void zr_duk_request_interrupt(duk_context *ctx) {
\tduk_hthread *thr = (duk_hthread *) ctx;
\tif (thr != NULL && thr->heap != NULL && thr->heap->curr_thread != NULL) {
\t\tthr->heap->curr_thread->interrupt_counter = 0;
\t}
}
")
zr_duk_write(duktape.c "${duk_c}")

file(READ "${ZR_DUK_SOURCE}/duktape.h" duk_h)
zr_duk_write(duktape.h "${duk_h}")

add_library(zr_duktape STATIC "${duk_out}/duktape.c" "${PROJECT_SOURCE_DIR}/script/script_engine.c")
set_source_files_properties("${duk_out}/duktape.c" PROPERTIES COMPILE_OPTIONS "-w")
# Our headers come before the packaged ones in /usr/include.
target_include_directories(zr_duktape BEFORE PUBLIC "${duk_out}")
target_link_libraries(zr_duktape PUBLIC m)
