// Measures wedmorph against the bytes that must move:
//   (a) one large area of 100 x 100 cells, a quarter of them under a keyed overlay;
//   (b) a batch of 100 typical areas of 300 to 1,500 tiles;
//   (c) the largest area a user meets, 200 x 120 cells, a third under overlays;
//   (e) that largest area again with -d: the outputs put on stable storage and
//       the sources deleted;
//   (f) that largest area again over an existing area of the output's names,
//       which the run replaces.
// Each is timed against the output floor (output-floor: the input files read
// once and files of exactly the output's sizes written, plain reads and
// writes, one process per area), the reserved floor (reserved-floor: the
// output floor that reserves the output TIS's room first, as wedmorph does)
// and, for reference, the copy floor (copy-floor: the files copied as they
// are); (e) against the output and reserved floors with -d, the durable
// floors; (f) against the floors over existing outputs, which then write
// temporaries, flush them and rename them, as wedmorph does. Prints median wall times, the ratios, the program's peak resident
// memory against the input TIS, and, where valgrind is installed, the
// instructions per pixel that the two filters spend on the keyed tiles.
//
//   wedmorph-bench --bin BUILD_DIR [--work DIR] [--runs N] [--quick] [--only a|b|c|d|e|f]
#include <spawn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "area/CompanionKinds.h"
#include "areagen/FileBytes.h"
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
#if defined(__APPLE__)
    result.peakKb = usage.ru_maxrss / 1024;  // bytes on macOS, KiB on Linux
#else
    result.peakKb = usage.ru_maxrss;
#endif
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
    std::uintmax_t outputTisBytes = 0;  // as the conversion writes it
};

struct Setup {
    std::string dir;  // holds wedmorph and the areas, and a folder for each floor
    std::vector<Area> areas;
};

enum class Program { Converter, OutputFloor, ReservedFloor, CopyFloor };
constexpr Program kPrograms[] = {Program::Converter, Program::OutputFloor, Program::ReservedFloor,
                                 Program::CopyFloor};
constexpr int kProgramCount = static_cast<int>(std::size(kPrograms));
const char* const kProgramFiles[] = {"wedmorph", "output-floor", "reserved-floor", "copy-floor"};

// Each program works beside its own copy of itself, in a folder of its own
// that holds the input files (hard links to wedmorph's): the programs take
// turns area by area, each into fresh files, and no program's folder fills
// with another's outputs (wedmorph reads its folder's names once a run).
std::string folderOf(const Setup& setup, Program program) {
    return program == Program::Converter ? setup.dir
                                         : setup.dir + kProgramFiles[static_cast<int>(program)] + "/";
}

// An area's seven files, as named beside the programs.
std::vector<std::string> areaFiles(const std::string& area) {
    std::vector<std::string> names = {area + ".wed", area + ".tis"};
    for (const wedmorph::CompanionKind& kind : wedmorph::kCompanionKinds) {
        names.push_back((kind.byPrefix ? area.substr(0, 6) : area) + kind.suffix);
    }
    return names;
}

void removeOutputs(const Setup& setup) {
    for (const Area& area : setup.areas) {
        for (Program program : kPrograms) {
            for (const std::string& name : areaFiles(area.output)) fs::remove(folderOf(setup, program) + name);
        }
    }
}

// Each floor's folder links the inputs that wedmorph's holds, anew.
void relinkInputs(const Setup& setup, const Area& area) {
    for (Program program : kPrograms) {
        if (program == Program::Converter) continue;
        for (const std::string& name : areaFiles(area.input)) {
            const std::string link = folderOf(setup, program) + name;
            fs::remove(link);
            if (fs::exists(setup.dir + name)) fs::create_hard_link(setup.dir + name, link);
        }
    }
}

// The floors' folders get the inputs that wedmorph's holds.
void linkInputs(const Setup& setup) {
    for (Program program : kPrograms) {
        if (program == Program::Converter) continue;
        for (const Area& area : setup.areas) {
            for (const std::string& name : areaFiles(area.input)) {
                const std::string link = folderOf(setup, program) + name;
                if (!fs::exists(link)) fs::create_hard_link(setup.dir + name, link);
            }
        }
    }
}

// How a run finds its folder: fresh outputs, inputs to delete (-d), or an
// older area under the output's names to replace.
enum class Mode { Fresh, Durable, OverExisting };


// The state the input files are in as a run starts: as the generator wrote
// them (each file in one write: large page-cache folios), replaced by a `cp`
// copy of themselves as an installer places them (not flushed), or out of the
// page cache. The programs read the same files (hard links to one set),
// except with -d, where each run gets files of its own.
enum class InputState { AsWritten, Copied, Uncached };
const char* const kStateNames[] = {"as written", "placed by cp", "uncached"};

// Puts the file `path` into `state`, from `from` when given (a copy kept
// aside), else from itself; false when the page cache kept some of its pages
// (a virtual machine's host may keep its own cache besides, which no program
// in the guest sees).
bool putFileInState(const std::string& path, InputState state, const std::string& from = "") {
    if (!from.empty() && state != InputState::Copied) {
        // As the generator writes: the whole file in one write, on the disk
        // before the run starts, so that no run pays for another's writes.
        const std::vector<std::uint8_t> bytes = wedmorph::areagen::readFileBytes(from).value_or(std::vector<std::uint8_t>{});
        fs::remove(path);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd >= 0) ::fsync(fd), ::close(fd);
    }
    if (state == InputState::AsWritten) return true;
    if (state == InputState::Copied) {
        runProcess({"/bin/cp", from.empty() ? path : from, path + ".cp"});
        fs::rename(path + ".cp", path);
        return true;
    }
    bool evicted = true;
#if defined(__linux__)
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return true;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    const std::size_t size = fs::file_size(path);
    if (size > 0) {
        void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (view != MAP_FAILED) {
            const long page = ::sysconf(_SC_PAGESIZE);
            std::vector<unsigned char> resident((size + static_cast<std::size_t>(page) - 1) / static_cast<std::size_t>(page));
            if (::mincore(view, size, resident.data()) == 0) {
                for (unsigned char in : resident) evicted = evicted && (in & 1) == 0;
            }
            ::munmap(view, size);
        }
    }
    ::close(fd);
#else
    evicted = false;  // no way to drop a file's pages here without root
#endif
    return evicted;
}

// Puts `area`'s inputs into `state` before a run.
bool putInputsInState(const Setup& setup, const Area& area, InputState state) {
    if (state == InputState::AsWritten) return true;
    bool evicted = true;
    for (const std::string& name : areaFiles(area.input)) {
        const std::string path = setup.dir + name;
        if (fs::exists(path)) evicted = putFileInState(path, state) && evicted;
    }
    if (state == InputState::Copied) relinkInputs(setup, area);
    return evicted;
}

// With -d a run deletes its inputs: each run gets files of its own back from
// copies kept aside, in `state`.
bool restoreInputs(const Setup& setup, Program program, InputState state) {
    const std::string kept = setup.dir + "kept/";
    const std::string folder = folderOf(setup, program);
    bool evicted = true;
    for (const Area& area : setup.areas) {
        for (const std::string& name : areaFiles(area.input)) {
            if (!fs::exists(kept + name)) {
                fs::create_directories(kept);
                fs::copy_file(setup.dir + name, kept + name);
            }
            evicted = putFileInState(folder + name, state, kept + name) && evicted;
        }
    }
    return evicted;
}

// An older area under the output's names: the input's files, copied, on the
// disk before the run starts.
void placeOldOutputs(const Setup& setup, const Area& area, Program program) {
    const std::string folder = folderOf(setup, program);
    const std::vector<std::string> from = areaFiles(area.input), to = areaFiles(area.output);
    for (std::size_t n = 0; n < from.size(); ++n) {
        fs::copy_file(setup.dir + from[n], folder + to[n], fs::copy_options::overwrite_existing);
    }
    ::sync();
}

Process runOnce(const Setup& setup, const Area& area, Program program, Mode mode,
                InputState state = InputState::AsWritten, bool* evicted = nullptr) {
    const bool durable = mode == Mode::Durable;
    std::vector<std::string> command = {folderOf(setup, program) + kProgramFiles[static_cast<int>(program)]};
    if (program == Program::Converter) command.push_back("-s");
    if (durable) command.push_back("-d");
    command.insert(command.end(), {area.input, area.output});
    if (program == Program::OutputFloor || program == Program::ReservedFloor) {
        command.push_back(std::to_string(area.outputTisBytes));
    }
    if (durable) {
        const bool dropped = restoreInputs(setup, program, state);
        if (evicted != nullptr) *evicted = dropped && *evicted;
    }
    if (mode == Mode::OverExisting) placeOldOutputs(setup, area, program);
    const Process process = runProcess(command);
    if (process.status != 0) {
        std::printf("%s %s failed with status %d\n", command[0].c_str(), area.input.c_str(), process.status);
        std::exit(1);
    }
    return process;
}

struct Comparison {
    double seconds[kProgramCount] = {};  // by Program; 0: not run
    long peakKb = 0;
    bool evicted = true;  // every uncached run started with no input page in the cache
    double of(Program program) const { return seconds[static_cast<int>(program)]; }
};

// Times the programs over every area of the setup, one process per area,
// taking turns area by area so that whatever else the machine does falls on
// all alike; medians over the runs. Mode::Durable: each with -d, its inputs
// restored before it starts; Mode::OverExisting: each over an older area;
// neither with the copy floor.
Comparison compare(Setup& setup, int runs, Mode mode = Mode::Fresh, InputState state = InputState::AsWritten) {
    const bool durable = mode == Mode::Durable;
    linkInputs(setup);
    // A first run warms the page cache and gives each output TIS's size.
    removeOutputs(setup);
    for (Area& area : setup.areas) {
        runOnce(setup, area, Program::Converter, mode);
        area.outputTisBytes = fs::file_size(setup.dir + area.output + ".tis");
    }
    std::vector<double> totals[kProgramCount];
    Comparison result;
    for (int run = 0; run < runs; ++run) {
        removeOutputs(setup);
        // Write back what earlier runs left dirty, so that no run pays for another's.
        ::sync();
        double total[kProgramCount] = {};
        for (const Area& area : setup.areas) {
            for (Program program : kPrograms) {
                if (mode != Mode::Fresh && program == Program::CopyFloor) continue;
                if (!durable) result.evicted = putInputsInState(setup, area, state) && result.evicted;
                const Process process = runOnce(setup, area, program, mode, state, &result.evicted);
                total[static_cast<int>(program)] += process.seconds;
                if (program == Program::Converter) result.peakKb = std::max(result.peakKb, process.peakKb);
            }
        }
        for (int p = 0; p < kProgramCount; ++p) totals[p].push_back(total[p]);
    }
    removeOutputs(setup);
    if (durable) {
        for (Program program : kPrograms) restoreInputs(setup, program, InputState::AsWritten);
    }
    for (int p = 0; p < kProgramCount; ++p) result.seconds[p] = median(totals[p]);
    return result;
}

void prepare(Setup& setup, const std::string& bin) {
    for (Program program : kPrograms) {
        const std::string folder = folderOf(setup, program);
        fs::create_directories(folder);
        const char* file = kProgramFiles[static_cast<int>(program)];
        fs::copy_file(bin + "/" + file, folder + file, fs::copy_options::overwrite_existing);
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
    const auto bytes = wedmorph::areagen::readFileBytes(path).value_or(std::vector<std::uint8_t>{});
    return std::string(bytes.begin(), bytes.end());
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
        " --toggle-collect='wedmorph::trimOverlayEdges*' --toggle-collect='wedmorph::copyTrimmingOverlayEdges*' " +
        setup.dir + "wedmorph -s " + area.input +
        " " + area.output});
    if (process.status != 0) return -1;
    const std::string text = readAll(out);
    const std::size_t at = text.find("\nsummary: ");
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + 10);
}

// One large area, as (a) and (c) have it.
struct LargeArea {
    Setup setup;
    SampleOptions options;
    double tisBytes = 0;
    long keyedTiles = 0;
};

// Runs `work` in a child process. A child's peak memory, as the system
// reports it, starts from its parent's peak: the areas are made apart, so
// that this process stays small.
template <typename Work>
void inChild(Work work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        work();
        std::fflush(stdout);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
}

LargeArea makeLargeArea(const std::string& dir, const std::string& bin, int width, int height, int percent) {
    LargeArea large{{dir, {{"AR0100", "AR2600"}}}, {}};
    prepare(large.setup, bin);
    large.options.width = width;
    large.options.height = height;
    large.options.seed = 2026;
    large.options.overlayPercent = percent;
    large.options.keyedPercent = 100;
    inChild([&] {
        wedmorph::areagen::writeSampleArea(dir, "AR0100", large.options);
        std::ofstream(dir + "keyed-tiles") << keyedTilesFilled(wedmorph::areagen::makeSampleArea(large.options));
    });
    large.tisBytes = static_cast<double>(fs::file_size(dir + "AR0100.tis"));
    std::ifstream(dir + "keyed-tiles") >> large.keyedTiles;
    return large;
}

// `target`: the ratio to the output floor that wedmorph is to stay within.
void printTimes(const Comparison& c, double target, const std::string& floors = "") {
    const double program = c.of(Program::Converter);
    const double output = c.of(Program::OutputFloor), reserved = c.of(Program::ReservedFloor);
    const auto line = [](const std::string& what, double seconds) {
        std::printf("    %-20s %8.1f ms", what.c_str(), seconds * 1e3);
    };
    line("wedmorph", program);
    std::printf("\n");
    line("output floor" + floors, output);
    std::printf("   ratio %.2f (target %.2f)\n", program / output, target);
    line("reserved floor" + floors, reserved);
    std::printf("   ratio %.2f\n", program / reserved);
    if (c.of(Program::CopyFloor) > 0) {
        line("copy floor", c.of(Program::CopyFloor));
        std::printf("\n");
    }
}

void printMemory(const Comparison& c, double tisBytes) {
    const double peak = static_cast<double>(c.peakKb) * 1024;
    std::printf("    peak resident memory %.1f MB = %.2f x TIS (target 1.1 x TIS + 8 MiB = %.1f MB)\n",
                peak / 1e6, peak / tisBytes, (1.1 * tisBytes + 8 * 1048576.0) / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    std::string bin, work = (fs::temp_directory_path() / "wedmorph-bench").string();
    int runs = 5;
    bool quick = false;
    std::string only = "abcdef";
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
        } else if (option == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else {
            bin.clear();
            break;
        }
    }
    if (bin.empty()) {
        std::printf("usage: wedmorph-bench --bin BUILD_DIR [--work DIR] [--runs N] [--quick] [--only a|b|c|d|e|f]\n");
        return 2;
    }
    fs::remove_all(work);

    LargeArea a = makeLargeArea(work + "/large/", bin, quick ? 40 : 100, quick ? 25 : 100, 25);
    LargeArea c = makeLargeArea(work + "/largest/", bin, quick ? 60 : 200, quick ? 36 : 120, 33);
    Setup batch{work + "/batch/", {}};
    prepare(batch, bin);
    wedmorph::areagen::Random random(7);
    const int batchSize = quick ? 20 : 100;
    double batchTiles = 0;
    std::vector<SampleOptions> batchOptions;
    for (int n = 0; n < batchSize; ++n) {
        SampleOptions options;
        const int tiles = 300 + random.below(1201);
        options.width = 15 + random.below(26);
        options.height = std::max(1, tiles / options.width);
        options.seed = 100 + static_cast<std::uint64_t>(n);
        batchOptions.push_back(options);
        batch.areas.push_back({"AR" + std::to_string(1000 + n), "AR" + std::to_string(5000 + n)});
        batchTiles += options.width * options.height;
    }
    inChild([&] {
        for (int n = 0; n < batchSize; ++n) {
            wedmorph::areagen::writeSampleArea(batch.dir, batch.areas[static_cast<std::size_t>(n)].input,
                                               batchOptions[static_cast<std::size_t>(n)]);
        }
    });

    std::printf("wedmorph benchmark: %d runs each, median wall time\n\n", runs);
    // Each case in each state of its inputs.
    const auto stateOf = [](const Comparison& comparison, InputState state) {
        std::printf("  inputs %s%s\n", kStateNames[static_cast<int>(state)],
                    comparison.evicted ? "" : " (some pages stayed in the page cache)");
    };
    constexpr InputState kStates[] = {InputState::AsWritten, InputState::Copied, InputState::Uncached};
    if (only.find('a') != std::string::npos) {
        std::printf("(a) large area: %d x %d cells, %.1f MB of TIS\n", a.options.width, a.options.height,
                    a.tisBytes / 1e6);
        for (InputState state : kStates) {
            const Comparison large = compare(a.setup, runs, Mode::Fresh, state);
            stateOf(large, state);
            printTimes(large, 1.10);
            printMemory(large, a.tisBytes);
        }
    }
    if (only.find('b') != std::string::npos) {
        std::printf("(b) batch of %d areas, %.0f cells on average\n", batchSize, batchTiles / batchSize);
        for (InputState state : kStates) {
            const Comparison typical = compare(batch, runs, Mode::Fresh, state);
            stateOf(typical, state);
            printTimes(typical, 1.15);
        }
    }
    if (only.find('c') != std::string::npos) {
        std::printf("(c) largest area: %d x %d cells, a third under overlays, %.1f MB of TIS\n", c.options.width,
                    c.options.height, c.tisBytes / 1e6);
        for (InputState state : kStates) {
            const Comparison largest = compare(c.setup, runs, Mode::Fresh, state);
            stateOf(largest, state);
            printTimes(largest, 1.10);
            printMemory(largest, c.tisBytes);
        }
    }
    if (only.find('e') != std::string::npos) {
        std::printf("(e) largest area with -d: outputs flushed (each file, then the folder), sources deleted\n");
        for (InputState state : kStates) {
            const Comparison durable = compare(c.setup, runs, Mode::Durable, state);
            stateOf(durable, state);
            printTimes(durable, 1.10, " -d");
        }
    }
    if (only.find('f') != std::string::npos) {
        std::printf("(f) largest area over an existing one: temporaries flushed and renamed over it\n");
        for (InputState state : kStates) {
            const Comparison replacing = compare(c.setup, runs, Mode::OverExisting, state);
            stateOf(replacing, state);
            printTimes(replacing, 1.10, " over it");
        }
    }

    if (only.find('d') == std::string::npos) {
        // no filter count asked for
    } else if (onPath("valgrind")) {
        const long long instructions = filterInstructions(a.setup, a.setup.areas[0]);
        if (instructions > 0 && a.keyedTiles > 0) {
            std::printf("(d) filters: %lld instructions over %ld keyed tiles of (a) = %.2f per pixel (target 2)\n",
                        instructions, a.keyedTiles,
                        static_cast<double>(instructions) / (4096.0 * static_cast<double>(a.keyedTiles)));
        } else {
            std::printf("(d) filters: callgrind gave no count\n");
        }
    } else {
        std::printf("(d) filters: valgrind is not installed\n");
    }
    fs::remove_all(work);
    return 0;
}
