// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for libFuzzer's driver: hands every file of one corpus folder to
// the target's LLVMFuzzerTestOneInput, in name order. A target that finds a
// fault traps, so the test fails on the input that found it, which is named
// before it runs.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

std::vector<std::filesystem::path> corpusFiles(const std::filesystem::path &folder)
{
    std::vector<std::filesystem::path> files;
    for (const std::filesystem::directory_entry &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> contents(const std::filesystem::path &file)
{
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::fprintf(stderr, "no corpus folder %s\n", folder.c_str());
        return 1;
    }
    const std::vector<std::filesystem::path> files = corpusFiles(folder);
    // An empty folder would pass without testing anything.
    if (files.empty()) {
        std::fprintf(stderr, "the corpus folder %s is empty\n", folder.c_str());
        return 1;
    }
    for (const std::filesystem::path &file : files) {
        std::printf("replaying %s\n", file.filename().c_str());
        std::fflush(stdout);
        const std::vector<uint8_t> bytes = contents(file);
        // An empty input is still an input; give the target a valid pointer.
        const uint8_t empty = 0;
        LLVMFuzzerTestOneInput(bytes.empty() ? &empty : bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
