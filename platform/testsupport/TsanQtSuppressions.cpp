// Linked into the threaded tests that run Qt. The system's Qt libraries are not
// built for the race detector: their raster painting splits work over Qt's own
// thread pool, and their event queue, the file-info thread and the test
// library's watchdog synchronise with futexes the detector cannot see, so it
// reports those libraries' own memory as raced. The modem component hands its
// notices to the main thread through Qt's queued call, whose hand-off the
// detector cannot see either. Only memory calls made inside Qt and that one
// hand-off are exempted; every other access of our own code is still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n"
         "called_from_lib:libQt6Test.so.6\n"
         "race:comm::TVnkCustomModem::PostNotice\n";
}
