// Argument-order adapters over the foundation's path and timer helpers.
#include "app/view/foundation_adapters.h"

#include <cstring>
#include <string>

#include "app/foundation/date_time.h"
#include "app/foundation/paths.h"
#include "app/foundation/vector_geometry.h"

namespace kz::view {

int resolve_relative_path(char* out, const char* base_folder, const char* name, int length) {
    return kz::foundation::resolve_relative_path(out, name, base_folder, length);
}

void start_perf_timer(std::int64_t* start, std::int64_t* frequency) {
    kz::foundation::start_perf_timer(frequency, start);
}

double perf_timer_seconds(std::int64_t start, std::int64_t frequency) {
    if (frequency <= 0) return 0.0;
    return kz::foundation::perf_timer_seconds(frequency, start);
}

void decode_path_from_file_name(const char* file_name, const char* extension, char* out) {
    kz::foundation::decode_path_from_file_name(file_name, out, extension);
}

int delete_file_copies(const char* program_path) {
    if (!program_path || !*program_path) return 0;
    char folder[kz::foundation::kPathBufferSize] = {};
    char file[kz::foundation::kPathBufferSize] = {};
    kz::foundation::split_folder_and_file(program_path, folder, file);
    // The copies share the program's stem and extension; the file layer never deletes the running program.
    std::string stem = file, extension;
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string::npos) {
        extension = stem.substr(dot);
        stem.resize(dot);
    }
    return kz::foundation::delete_file_copies(folder, stem.c_str(), extension.c_str());
}

void polar_to_point(const double* origin, double distance, double elevation, double azimuth, double* out) {
    const double polar[3] = {distance, elevation, azimuth};
    kz::foundation::polar_to_point(origin, polar, out);
}

}  // namespace kz::view
