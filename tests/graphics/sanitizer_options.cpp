// fontconfig's configuration parser loses a few bytes once per process. The
// leak can only be told apart from one of ours by a full stack, hence the
// slower, exact unwinding in this test program.
extern "C" const char* __asan_default_options()
{
  return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions()
{
  return "leak:FcInitLoadConfigAndFonts\n";
}
