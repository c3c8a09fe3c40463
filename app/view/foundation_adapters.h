// The foundation's path and timer helpers in the argument order the view and the document call them with, so
// callers read as the system writes them while the foundation keeps its own order.
#pragma once
#include <cstdint>

namespace kz::view {

// Full name of `name` seen from `base_folder` (the first `length` bytes of the name when above 0).
int resolve_relative_path(char* out, const char* base_folder, const char* name, int length);
// Starts a monotonic measurement / its seconds so far.
void start_perf_timer(std::int64_t* start, std::int64_t* frequency);
double perf_timer_seconds(std::int64_t start, std::int64_t frequency);
// The start path carried in the program's own file name, with the extension; empty when it carries none.
void decode_path_from_file_name(const char* file_name, const char* extension, char* out);
// Deletes the decorated copies beside the program file (never the running program itself); the number deleted.
int delete_file_copies(const char* program_path);
// The point at a distance, elevation and azimuth (degrees) from an origin (null: the world origin).
void polar_to_point(const double* origin, double distance, double elevation, double azimuth, double* out);

}  // namespace kz::view
