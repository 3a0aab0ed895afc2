// Linked into every test program of a sanitizer build, so the programs carry their own
// options wherever they run: under ctest, at test discovery during the build, or by hand.
// ASAN_OPTIONS, UBSAN_OPTIONS and LSAN_OPTIONS in the environment still add to these.

extern "C" {

// Stack-use-after-return catches a view or reference into a local that a function
// returned; init order catches globals that read each other before they are built.
// SIGBUS stays the program's own: its mapped files take it, and the tests see it kill.
// A failed malloc returns null, as in a user's build, for the memory limit of a reading
// child (a failed operator new still ends the program). The memory freed and held back
// to catch its later use stays well inside a reading child's limit, which a read that
// frees as it goes (libmdb takes and frees a large buffer for every text) never nears.
const char* __asan_default_options() {
    return "detect_stack_use_after_return=1:check_initialization_order=1:"
           "strict_init_order=1:detect_leaks=1:handle_sigbus=0:allocator_may_return_null=1:"
           "quarantine_size_mb=64";
}

const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}
}
