// fuzz_options.cpp: libFuzzer target over oargala's command line: each input
// is split at its NUL bytes into the arguments after the program's name and
// given to parse_options (app/options.cpp, with the --fps, --size and --at
// number parsers). Built with AddressSanitizer and UndefinedBehaviorSanitizer
// (fuzz/CMakeLists.txt); run by fuzz/run.sh. Besides memory errors it stops
// on a broken promise of the parser: an empty refusal or one of more lines
// than the arguments it quotes, or an accepted command line with a value
// outside its range or a combination it refuses.
#include "app/options.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words{"oargala"};
    std::string word;
    for (size_t i = 0; i < size; i++) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += (char)data[i];
        }
    }
    if (size) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);   // as main gets it

    Options options;
    std::string error;
    if (!parse_options((int)words.size(), argv.data(), &options, &error)) {
        // One line, unless it quotes an argument that holds a line end itself.
        bool quoted_line_end = false;
        for (const std::string& w : words) quoted_line_end |= w.find('\n') != std::string::npos;
        if (error.empty() || (error.find('\n') != std::string::npos && !quoted_line_end)) __builtin_trap();
        return 0;
    }
    if (!error.empty()) __builtin_trap();
    const CaptureSettings& c = options.capture;
    if (c.fps_den == 0 || c.fps_num < c.fps_den || c.fps_num > 1000ull * c.fps_den) __builtin_trap();
    if (c.width < 16 || c.height < 16 || c.width > 8192 || c.height > 8192) __builtin_trap();
    for (uint64_t at : c.at_microseconds)
        if (at > capture_show_us) __builtin_trap();
    if (options.mode == RUN_CAPTURE && c.output.empty()) __builtin_trap();
    if (options.desktop && (options.windowed || options.show_width)) __builtin_trap();
    return 0;
}
