// data_folder.cpp: finds the folder that holds the show's pictures and
// soundtrack, so that the show plays wherever it is started from and wherever
// it is installed, and points the texture table and the soundtrack into it.
// The places, in order: the folder the user names (--data), data/ below the
// working directory (running from the source tree), data/ beside the
// executable, and the installed data relative to the executable (any prefix,
// a staging copy or a moved install, with no absolute path built in). A folder
// counts when it holds the soundtrack or the first picture: two cheap checks
// that tell the show's folder from any other folder named data.
// Folder names are UTF-8 on Windows (see platform.h), hence u8path.
// Depends on platform/ (the executable's folder) and std::filesystem.
#include "demo.h"
#include "show_internals.h"

#include "platform/platform.h"

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#ifndef OARGALA_INSTALLED_DATA
#define OARGALA_INSTALLED_DATA "../share/oargala/data"
#endif

namespace fs = std::filesystem;

static const char* file_name(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

static bool holds_show(const std::string& folder)
{
    std::error_code error;
    for (const char* path : {soundtrack_path, texture_paths[0]})
        if (fs::is_regular_file(fs::u8path(folder) / file_name(path), error)) return true;
    return false;
}

bool find_data_folder(const std::string& option_folder, std::string* folder, std::string* searched)
{
    std::vector<std::string> places;
    if (!option_folder.empty()) {
        std::string given = option_folder;
        while (given.size() > 1 && given.back() == '/') given.pop_back();
        places.push_back(given);
    }
    places.push_back("data");
    std::string exe_dir = platform_executable_dir();
    if (!exe_dir.empty()) {
        places.push_back((fs::u8path(exe_dir) / "data").lexically_normal().u8string());
        places.push_back((fs::u8path(exe_dir) / OARGALA_INSTALLED_DATA).lexically_normal().u8string());
    }

    searched->clear();
    for (const std::string& place : places) {
        if (holds_show(place)) {
            *folder = place;
            return true;
        }
        if (!searched->empty()) *searched += ", ";
        *searched += place;
    }
    *folder = "data";
    return false;
}

void use_data_folder(const std::string& folder)
{
    // File names never hold a '/', so the name is what follows the last one,
    // however often the folder changes.
    static std::string texture_storage[TEXTURE_COUNT], soundtrack_storage;
    for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
        texture_storage[slot] = folder + "/" + file_name(texture_paths[slot]);
        texture_paths[slot] = texture_storage[slot].c_str();
    }
    soundtrack_storage = folder + "/" + file_name(soundtrack_path);
    soundtrack_path = soundtrack_storage.c_str();
}
