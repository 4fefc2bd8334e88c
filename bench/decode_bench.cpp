// decode_bench.cpp: our picture readers (ImageLoader::read_image) against
// stb_image (stbi_load) on the same files in the same process: every picture
// in data/ (one by one and all together) and large synthetic PNG, JPEG, BMP
// and TGA pictures written at start. Files are read once before timing, so
// both decoders find them in the page cache. Before timing, each file is
// decoded once by both and the pixels compared (counter max_diff: largest
// channel difference, -1 when the two disagree on size or channels).
// Usage: bench_decode [--data DIR] [--keep-synthetic DIR] [Google Benchmark
// options]; --keep-synthetic writes the synthetic pictures into DIR and keeps
// them there (by default they go to a scratch folder removed at the end).
// Depends on imageloader/, Google Benchmark, stb_image (Debian's libstb-dev,
// used here only), libpng and libjpeg (for the synthetic pictures).
#include "bench/synthetic.h"
#include "imageloader/image_loader.h"

#include <benchmark/benchmark.h>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Picture {
    std::string name, path;
};

std::vector<Picture> shipped_pictures(const std::string& dir)
{
    std::vector<Picture> pictures;
    DIR* d = opendir(dir.c_str());
    if (!d) return pictures;
    while (dirent* entry = readdir(d)) {
        std::string name = entry->d_name;
        size_t dot = name.rfind('.');
        if (dot == std::string::npos) continue;
        std::string ext = name.substr(dot + 1);
        for (char& c : ext) c = (char)tolower((unsigned char)c);
        if (ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "bmp" || ext == "tga")
            pictures.push_back({name, dir + "/" + name});
    }
    closedir(d);
    std::sort(pictures.begin(), pictures.end(),
              [](const Picture& a, const Picture& b) { return a.name < b.name; });
    return pictures;
}

// Reads the whole file once so that the timed runs find it in the page cache.
void warm(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return;
    char buffer[1 << 16];
    while (fread(buffer, 1, sizeof buffer, file) == sizeof buffer) {
    }
    fclose(file);
}

bool decode_ours(ImageLoader* loader, const char* path)
{
    bool ok = loader->read_image(path, 0) && loader->pixels != nullptr;
    delete[] loader->pixels;
    loader->pixels = nullptr;
    return ok;
}

bool decode_stb(const char* path)
{
    int w = 0, h = 0, n = 0;
    stbi_uc* pixels = stbi_load(path, &w, &h, &n, 0);
    stbi_image_free(pixels);
    return pixels != nullptr;
}

// Largest channel difference between our picture (bottom row first) and
// stb_image's (top row first); -1 when they differ in size or channels or one
// of them did not decode.
int compare(const std::string& path)
{
    ImageLoader loader;
    bool ours = loader.read_image(path.c_str(), 0) && loader.pixels;
    int w = 0, h = 0, n = 0;
    stbi_uc* theirs = stbi_load(path.c_str(), &w, &h, &n, 0);
    int result = -1;
    if (ours && theirs && (int)loader.width == w && (int)loader.height == h &&
        loader.bits_per_pixel == n * 8) {
        result = 0;
        size_t row = (size_t)w * n;
        for (int y = 0; y < h; y++) {
            const uint8_t* a = loader.pixels + (size_t)(h - 1 - y) * row;
            const uint8_t* b = theirs + (size_t)y * row;
            for (size_t i = 0; i < row; i++) result = std::max(result, std::abs((int)a[i] - (int)b[i]));
        }
    }
    stbi_image_free(theirs);
    delete[] loader.pixels;
    loader.pixels = nullptr;
    return result;
}

void bench_ours(benchmark::State& state, const std::string& path, int max_diff)
{
    ImageLoader loader;
    for (auto _ : state) {
        if (!decode_ours(&loader, path.c_str())) {
            state.SkipWithError("our reader decoded nothing");
            break;
        }
    }
    state.counters["max_diff"] = max_diff;
}

void bench_stb(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        if (!decode_stb(path.c_str())) {
            state.SkipWithError(stbi_failure_reason());
            break;
        }
    }
}

void bench_all_ours(benchmark::State& state, const std::vector<Picture>& pictures)
{
    ImageLoader loader;
    int failed = 0;
    for (auto _ : state) {
        failed = 0;
        for (const Picture& picture : pictures) failed += !decode_ours(&loader, picture.path.c_str());
    }
    state.counters["failed"] = failed;
    state.counters["pictures"] = (double)pictures.size();
}

void bench_all_stb(benchmark::State& state, const std::vector<Picture>& pictures)
{
    int failed = 0;
    for (auto _ : state) {
        failed = 0;
        for (const Picture& picture : pictures) failed += !decode_stb(picture.path.c_str());
    }
    state.counters["failed"] = failed;
    state.counters["pictures"] = (double)pictures.size();
}

// Registers ours then stb_image for one picture, next to each other so that
// both run under the same machine load.
void register_pair(const std::string& group, const Picture& picture)
{
    warm(picture.path);
    int max_diff = compare(picture.path);
    benchmark::RegisterBenchmark((group + "/ours/" + picture.name).c_str(), bench_ours, picture.path, max_diff)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((group + "/stb/" + picture.name).c_str(), bench_stb, picture.path)
        ->Unit(benchmark::kMicrosecond);
}

std::string scratch_dir;

void remove_scratch()
{
    if (scratch_dir.empty()) return;
    if (DIR* d = opendir(scratch_dir.c_str())) {
        while (dirent* entry = readdir(d))
            if (entry->d_name[0] != '.') unlink((scratch_dir + "/" + entry->d_name).c_str());
        closedir(d);
    }
    rmdir(scratch_dir.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    std::string data_dir = "data", keep_dir;
    std::vector<char*> args;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--data") == 0 && i + 1 < argc)
            data_dir = argv[++i];
        else if (strcmp(argv[i], "--keep-synthetic") == 0 && i + 1 < argc)
            keep_dir = argv[++i];
        else
            args.push_back(argv[i]);
    }
    int bench_argc = (int)args.size();
    benchmark::Initialize(&bench_argc, args.data());
    if (benchmark::ReportUnrecognizedArguments(bench_argc, args.data())) return 2;

    loader_log = nullptr;   // the readers' log lines would swamp the report

    std::vector<Picture> shipped = shipped_pictures(data_dir);
    if (shipped.empty()) fprintf(stderr, "bench_decode: no pictures in %s/\n", data_dir.c_str());
    for (const Picture& picture : shipped) register_pair("shipped", picture);
    if (!shipped.empty()) {
        benchmark::RegisterBenchmark("shipped_all/ours", bench_all_ours, shipped)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("shipped_all/stb", bench_all_stb, shipped)->Unit(benchmark::kMillisecond);
    }

    std::string synthetic_dir = keep_dir;
    char dir_template[] = "/tmp/oargala-bench-XXXXXX";
    if (synthetic_dir.empty() && mkdtemp(dir_template)) {
        synthetic_dir = scratch_dir = dir_template;
        atexit(remove_scratch);
    }
    std::vector<SyntheticPicture> synthetic;
    if (!synthetic_dir.empty()) synthetic = write_synthetic_pictures(synthetic_dir, 2048, 2048);
    if (synthetic.empty()) fprintf(stderr, "bench_decode: could not write the synthetic pictures\n");
    for (const SyntheticPicture& picture : synthetic) register_pair("synthetic", {picture.name, picture.path});

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
