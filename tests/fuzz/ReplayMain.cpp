// Runs every file of the given folders through a fuzz target once, so that the
// ordinary build replays the committed corpus and regressions without libFuzzer.
// A README.txt and hidden files are skipped; a folder that is missing, or folders
// that hold no input at all, fail the run rather than pass with nothing checked.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path folder(argv[i]);
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            std::fprintf(stderr, "not a folder: %s\n", argv[i]);
            return 2;
        }
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && name != "README.txt" && name.front() != '.')
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            if (in.bad()) {
                std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
                return 2;
            }
            // Named first, so that an abort inside the target says which input it was.
            std::printf("%s\n", file.string().c_str());
            std::fflush(stdout);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++inputs;
        }
    }
    if (inputs == 0) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    std::printf("%zu inputs replayed\n", inputs);
    return 0;
}
