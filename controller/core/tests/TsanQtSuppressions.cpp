// The Qt libraries of the system are not built for the race detector. Their
// raster painting (the progress bar of the sending window) splits work over
// Qt's own thread pool and hands it back with futex-based semaphores the
// detector cannot see, so it reports the pool's allocations as races. Only
// memory calls made from inside those libraries are exempted; every access
// made by our own (instrumented) code is still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Core.so.6\n";
}
