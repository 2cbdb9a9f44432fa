// Placeholder; the substitute library is built with the device services.
extern "C" int OrvexUtilPlaceholder() { return 0; }
