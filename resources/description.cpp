// The module's plain-text description, kept in the binary so that `strings` shows it.
extern "C" {
extern const char quorvel_module_description[];
__attribute__((used)) const char quorvel_module_description[] =
    "Quorvel: event-logging dynamic link library for Xbase++\r\n"
    "Version 1.0\r\n";
}
