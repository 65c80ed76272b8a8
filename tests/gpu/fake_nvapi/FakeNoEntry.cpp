// A library of the right name without the entry point.
extern "C" __attribute__((visibility("default"))) int some_other_export() { return 1; }
