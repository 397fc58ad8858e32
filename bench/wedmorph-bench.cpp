// Measures wedmorph against the copy floor (copy-floor: the same files copied
// under the output names with plain reads and writes, one process per area):
//   (a) one large area of about 10,000 basic tiles, a quarter of its cells
//       under a keyed overlay;
//   (b) a batch of 100 typical areas of 300 to 1,500 tiles.
// Prints median wall times, the ratio to the floor, the program's peak resident
// memory against the input TIS, and, where valgrind is installed, the
// instructions per pixel that the two filters spend on the keyed tiles.
//
//   wedmorph-bench --bin BUILD_DIR [--work DIR] [--runs N] [--quick]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "areagen/SampleArea.h"

extern char** environ;

namespace fs = std::filesystem;
using wedmorph::areagen::SampleOptions;

namespace {

struct Process {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
};

Process runProcess(const std::vector<std::string>& command, bool quiet = true) {
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 0x1 /* O_WRONLY */, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0x1, 0);
    }
    Process result;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::printf("cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakKb = usage.ru_maxrss;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Area {
    std::string input, output;
};

struct Setup {
    std::string dir;  // holds the programs and the areas
    std::vector<Area> areas;
};

void removeOutputs(const Setup& setup) {
    for (const Area& area : setup.areas) {
        for (const char* suffix : {".wed", ".tis", ".mos"}) fs::remove(setup.dir + area.output + suffix);
        for (const char* bitmap : {"HT.bmp", "LM.bmp", "LN.bmp", "SR.bmp"}) {
            fs::remove(setup.dir + area.output.substr(0, 6) + bitmap);
        }
    }
}

// Runs one program over every area of the setup, one process per area.
double timeAll(const Setup& setup, const std::string& program, bool isConverter, long* peakKb = nullptr) {
    removeOutputs(setup);
    // Write back what earlier runs left dirty, so that no run pays for another's.
    ::sync();
    double total = 0;
    for (const Area& area : setup.areas) {
        std::vector<std::string> command = {setup.dir + program};
        if (isConverter) command.push_back("-s");
        command.push_back(area.input);
        command.push_back(area.output);
        const Process process = runProcess(command);
        if (process.status != 0) {
            std::printf("%s %s failed with status %d\n", program.c_str(), area.input.c_str(), process.status);
            std::exit(1);
        }
        total += process.seconds;
        if (peakKb != nullptr) *peakKb = std::max(*peakKb, process.peakKb);
    }
    return total;
}

struct Comparison {
    double program = 0, floor = 0;
    long peakKb = 0;
};

Comparison compare(const Setup& setup, int runs) {
    std::vector<double> program, floor;
    Comparison result;
    timeAll(setup, "wedmorph", true);  // warm the page cache
    for (int run = 0; run < runs; ++run) {
        program.push_back(timeAll(setup, "wedmorph", true, &result.peakKb));
        floor.push_back(timeAll(setup, "copy-floor", false));
    }
    result.program = median(program);
    result.floor = median(floor);
    return result;
}

void prepare(Setup& setup, const std::string& bin) {
    fs::create_directories(setup.dir);
    for (const char* program : {"wedmorph", "copy-floor"}) {
        fs::copy_file(bin + "/" + program, setup.dir + program, fs::copy_options::overwrite_existing);
    }
}

// Keyed tiles that the filters work on, as the conversion visits them: marked
// cells of overlay 1 whose tile is keyed, and keyed door tiles.
long keyedTilesFilled(const wedmorph::areagen::SampleArea& area) {
    long count = 0;
    for (std::size_t k = 0; k < area.wed.cells.size(); ++k) {
        const bool keyed = wedmorph::isKeyColour(area.tiles[k].data());
        if (area.wed.cells[k].overlayMask == 2 && keyed) ++count;
    }
    long basic = static_cast<long>(area.wed.cells.size());
    for (const auto& cell : area.wed.cells) basic += cell.frameCount > 1 ? cell.frameCount : 0;
    for (std::size_t t = static_cast<std::size_t>(basic); t < area.tiles.size(); ++t) {
        if (wedmorph::isKeyColour(area.tiles[t].data())) ++count;
    }
    return count;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool onPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Instructions that fillKeyPixels and trimOverlayEdges execute in one run of
// the program, counted by callgrind.
long long filterInstructions(const Setup& setup, const Area& area) {
    removeOutputs(setup);
    const std::string out = setup.dir + "callgrind.out";
    const Process process = runProcess({"/bin/sh", "-c",
        "valgrind --tool=callgrind --callgrind-out-file=" + out +
        " --collect-atstart=no --toggle-collect='wedmorph::fillKeyPixels*'"
        " --toggle-collect='wedmorph::trimOverlayEdges*' " + setup.dir + "wedmorph -s " + area.input +
        " " + area.output});
    if (process.status != 0) return -1;
    const std::string text = readAll(out);
    const std::size_t at = text.find("\nsummary: ");
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + 10);
}

}  // namespace

int main(int argc, char** argv) {
    std::string bin, work = (fs::temp_directory_path() / "wedmorph-bench").string();
    int runs = 5;
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--bin" && i + 1 < argc) {
            bin = argv[++i];
        } else if (option == "--work" && i + 1 < argc) {
            work = argv[++i];
        } else if (option == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (option == "--quick") {
            quick = true;
        } else {
            std::printf("usage: wedmorph-bench --bin BUILD_DIR [--work DIR] [--runs N] [--quick]\n");
            return 2;
        }
    }
    if (bin.empty()) {
        std::printf("usage: wedmorph-bench --bin BUILD_DIR [--work DIR] [--runs N] [--quick]\n");
        return 2;
    }
    fs::remove_all(work);

    // (a) the large area: 100 x 100 cells, a quarter of them under a keyed overlay.
    Setup large{work + "/large/", {{"AR0100", "AR2600"}}};
    prepare(large, bin);
    SampleOptions big;
    big.width = quick ? 40 : 100;
    big.height = quick ? 25 : 100;
    big.seed = 2026;
    big.overlayPercent = 25;
    big.keyedPercent = 100;
    wedmorph::areagen::writeSampleArea(large.dir, "AR0100", big);
    // Counted now and dropped: a child's peak memory, as the system reports
    // it, starts from this process's size when the child was started.
    const long keyedTiles = keyedTilesFilled(wedmorph::areagen::makeSampleArea(big));
    const double tisBytes = static_cast<double>(fs::file_size(large.dir + "AR0100.tis"));

    // (b) the batch: 100 areas of 300 to 1,500 tiles.
    Setup batch{work + "/batch/", {}};
    prepare(batch, bin);
    wedmorph::areagen::Random random(7);
    const int batchSize = quick ? 20 : 100;
    double batchTiles = 0;
    for (int n = 0; n < batchSize; ++n) {
        SampleOptions options;
        const int tiles = 300 + random.below(1201);
        options.width = 15 + random.below(26);
        options.height = std::max(1, tiles / options.width);
        options.seed = 100 + static_cast<std::uint64_t>(n);
        const std::string name = "AR" + std::to_string(1000 + n);
        wedmorph::areagen::writeSampleArea(batch.dir, name, options);
        batch.areas.push_back({name, "AR" + std::to_string(5000 + n)});
        batchTiles += options.width * options.height;
    }

    std::printf("wedmorph benchmark: %d runs each, median wall time\n\n", runs);
    const Comparison a = compare(large, runs);
    std::printf("(a) large area: %d x %d cells, %.1f MB of TIS\n", big.width, big.height, tisBytes / 1e6);
    std::printf("    wedmorph %8.1f ms   floor %8.1f ms   ratio %.2f (target 1.25)\n", a.program * 1e3,
                a.floor * 1e3, a.program / a.floor);
    const double peak = static_cast<double>(a.peakKb) * 1024;
    std::printf("    peak resident memory %.1f MB = %.2f x TIS (target 2.1 x TIS + 8 MiB = %.1f MB)\n\n",
                peak / 1e6, peak / tisBytes, (2.1 * tisBytes + 8 * 1048576.0) / 1e6);

    const Comparison b = compare(batch, runs);
    std::printf("(b) batch of %d areas, %.0f cells on average\n", batchSize, batchTiles / batchSize);
    std::printf("    wedmorph %8.1f ms   floor %8.1f ms   ratio %.2f (target 1.5)\n", b.program * 1e3,
                b.floor * 1e3, b.program / b.floor);

    if (onPath("valgrind")) {
        const long long instructions = filterInstructions(large, large.areas[0]);
        const long tiles = keyedTiles;
        if (instructions > 0 && tiles > 0) {
            std::printf("(c) filters: %lld instructions over %ld keyed tiles = %.2f per pixel (target 2)\n",
                        instructions, tiles, static_cast<double>(instructions) / (4096.0 * static_cast<double>(tiles)));
        } else {
            std::printf("(c) filters: callgrind gave no count\n");
        }
    } else {
        std::printf("(c) filters: valgrind is not installed\n");
    }
    fs::remove_all(work);
    return 0;
}
