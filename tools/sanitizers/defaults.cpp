// Linked into every program of the sanitizer build, so a test run by hand
// fails on a finding as the CI run does, with the committed suppressions
// (the file's path comes from the build: S4_LSAN_SUPP).

extern "C" {

const char *__lsan_default_options()
{
    return "suppressions=" S4_LSAN_SUPP ":print_suppressions=0";
}

const char *__ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}

} // extern "C"
