// The module itself: its exports come from the library's core, listed in the module
// definition (quorvel.def) on Windows and the version script (quorvel.map) elsewhere.
