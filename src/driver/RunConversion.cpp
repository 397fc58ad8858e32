#include "driver/RunConversion.h"

#include <optional>
#include <span>

#include "convert/OverlayPass.h"
#include "driver/AreaPaths.h"
#include "driver/FileSlots.h"
#include "driver/Messages.h"
#include "driver/Reporter.h"
#include "driver/RunMemory.h"
#include "formats/Tis.h"
#include "formats/Wed.h"
#include "output/Companions.h"
#include "output/OutputTis.h"
#include "output/OutputWed.h"

namespace wedmorph {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = -1;

void printUsage(Reporter& reporter) {
    for (const char* line : messages::kUsage) reporter.consoleLine(line);
}

struct CommandLine {
    ConversionOptions options;
    bool inputGiven = false;
    bool outputGiven = false;
    std::size_t longestAreaArgument = 0;
};

bool takeOption(const std::string& argument, ConversionOptions& options) {
    if (argument == "-s") return options.silent = true;
    if (argument == "-h") return options.saveHeader = true;
    if (argument == "-d") return options.deleteSource = true;
    if (argument == "-l") return options.writeLog = true;
    return false;
}

CommandLine readCommandLine(const std::vector<std::string>& arguments, AreaPaths& paths,
                            const PathRules& rules) {
    CommandLine line;
    for (std::size_t n = 1; n < arguments.size(); ++n) {
        const std::string& argument = arguments[n];
        if (takeOption(argument, line.options)) continue;
        if (!line.inputGiven) {
            takeAreaArgument(paths, argument, AreaSide::Input, rules);
            line.inputGiven = true;
        } else if (!line.outputGiven) {
            takeAreaArgument(paths, argument, AreaSide::Output, rules);
            line.outputGiven = true;
        } else {
            continue;  // a third area argument is ignored
        }
        line.longestAreaArgument = std::max(line.longestAreaArgument, argument.size());
    }
    return line;
}

// One run, from the checks of the areas to the summary. Every error ends it
// through `fail`, which releases what is held and closes the log.
class Run {
public:
    Run(Platform& platform, TileMemory& memory, const ConversionOptions& options,
        AreaPaths& paths)
        : platform_(platform),
          memory_(memory),
          options_(options),
          paths_(paths),
          reporter_(platform, options.silent) {}

    int execute(const CommandLine& line);

private:
    int checkAreas(const CommandLine& line);
    int openInputs();
    int convert();

    int failWithUsage(const char* message) {
        printUsage(reporter_);
        return fail(message);
    }

    int fail(const char* message) {
        releaseInputFiles(slots_, platform_);
        releaseOutputFiles(slots_, platform_);
        freeOutputTiles(memory_, tileset_, pass_.extraTiles);
        reporter_.fail(message);
        reporter_.closeLog();
        return kExitFailed;
    }

    std::span<const std::uint8_t> inputWedBytes() const {
        return {slots_.inputWed.view, inputWedSize_};
    }
    std::span<const std::uint8_t> inputTisBytes() const {
        return {slots_.inputTis.view, tisSource_.fileSize};
    }

    Platform& platform_;
    TileMemory& memory_;
    const ConversionOptions& options_;
    AreaPaths& paths_;
    Reporter reporter_;
    FileSlots slots_;

    std::size_t inputWedSize_ = 0;
    WedLayout layout_;
    TisSource tisSource_;
    TileCensus census_;
    OutputTileset tileset_;
    std::int32_t copiedTileCount_ = 0;
    PassResult pass_;
    std::vector<FileIdentity> kept_;  // the inputs, then each output as it is written
};

int Run::execute(const CommandLine& line) {
    if (options_.writeLog) {
        const std::string logPath = buildLogPath(paths_);
        if (logPath.size() <= kMaxPathLength) reporter_.openLog(logPath);
    }
    if (int status = checkAreas(line); status != kExitDone) return status;
    if (int status = openInputs(); status != kExitDone) return status;
    return convert();
}

int Run::checkAreas(const CommandLine& line) {
    if (!line.inputGiven) return failWithUsage(messages::kEmptyInput);
    // An output argument that names no area (empty, or a folder alone) would
    // write nameless dot files: it counts as no output area at all.
    if (!line.outputGiven || paths_.outputName.empty()) return failWithUsage(messages::kEmptyOutput);
    if (paths_.inputName.size() > kMaxAreaNameLength) {
        return failWithUsage(messages::kInputNameTooLong);
    }
    if (paths_.outputName.size() > kMaxAreaNameLength) {
        return failWithUsage(messages::kOutputNameTooLong);
    }
    // The program's own folder counts like every path built on it: one too
    // long is refused, never cut to a shorter one that names another folder.
    if (paths_.programDir.size() > kMaxPathLength || line.longestAreaArgument > kMaxPathLength ||
        longestAreaFilePath(paths_) > kMaxPathLength) {
        return failWithUsage(messages::kPathTooLong);
    }
    if (!platform_.changeDirectory(paths_.inputDir)) {
        return failWithUsage(messages::kInvalidInputDir);
    }
    if (!platform_.changeDirectory(paths_.outputDir)) {
        return failWithUsage(messages::kInvalidOutputDir);
    }
    platform_.changeDirectory(paths_.programDir);  // only to leave the areas' folders
    buildInputWedPath(paths_);
    if (!platform_.plainFileExists(paths_.inputWedPath)) {
        return failWithUsage(messages::kInvalidInputName);
    }
    buildInputTisPath(paths_);
    if (!platform_.plainFileExists(paths_.inputTisPath)) {
        return failWithUsage(messages::kNoInputTis);
    }
    buildOutputPaths(paths_);
    return kExitDone;
}

// Opens and maps one input read-only into its slots, and takes its identity:
// an input that cannot be told apart from the outputs is not opened.
enum class OpenResult { Mapped, OpenFailed, MapFailed };

OpenResult openMapped(Platform& platform, const std::string& path, MappedFileSlots& slots,
                      FileIdentity& identity) {
    slots.file = platform.openForReading(path);
    if (!slots.file.isOpen()) return OpenResult::OpenFailed;
    identity = platform.identifyFile(slots.file);
    if (!identity.known) return OpenResult::OpenFailed;
    slots.mapping = platform.createMapping(slots.file, Access::ReadOnly);
    if (!slots.mapping.isOpen()) return OpenResult::MapFailed;
    slots.view = platform.mapView(slots.mapping, Access::ReadOnly);
    return slots.view == nullptr ? OpenResult::MapFailed : OpenResult::Mapped;
}

int Run::openInputs() {
    FileIdentity wedIdentity, tisIdentity;
    switch (openMapped(platform_, paths_.inputWedPath, slots_.inputWed, wedIdentity)) {
        case OpenResult::OpenFailed: return fail(messages::kOpenInputWed);
        case OpenResult::MapFailed: return fail(messages::kMapInputWed);
        case OpenResult::Mapped: break;
    }
    switch (openMapped(platform_, paths_.inputTisPath, slots_.inputTis, tisIdentity)) {
        case OpenResult::OpenFailed: return fail(messages::kOpenInputTis);
        case OpenResult::MapFailed: return fail(messages::kMapInputTis);
        case OpenResult::Mapped: break;
    }

    // Everything later reads inside the two images; that is made sure here.
    inputWedSize_ = platform_.fileSize(slots_.inputWed.file);
    const std::optional<WedLayout> layout = checkWedLayout({inputWedBytes()});
    if (!layout) return fail(messages::kInvalidInputWed);
    layout_ = *layout;
    const std::uint32_t tisSize = platform_.fileSize(slots_.inputTis.file);
    const TisReading tis = readTisSource({slots_.inputTis.view, tisSize}, tisSize);
    switch (tis.check) {
        case TisCheck::Invalid: return fail(messages::kInvalidInputTis);
        case TisCheck::PvrzTiles: return fail(messages::kPvrzInputTis);
        case TisCheck::Valid: break;
    }
    tisSource_ = tis.source;
    // New tiles take the indices after the tiles kept: with cells' tiles
    // missing from the TIS, those cells would show the new tiles instead.
    if (tisSource_.tilesInFile < static_cast<std::uint32_t>(layout_.entryCount)) {
        return fail(messages::kTooFewInputTiles);
    }
    kept_ = {wedIdentity, tisIdentity};
    return kExitDone;
}

int Run::convert() {
    const WedImage inputWed{inputWedBytes()};
    const std::string version = readWedVersion(inputWed);
    reporter_.report(messages::kSourceWed, paths_.inputWedPath.c_str(), version.c_str());
    reporter_.report(messages::kSourceTis, paths_.inputTisPath.c_str(),
                     tisSource_.hasHeader ? tisSource_.versionText.c_str() : messages::kNoHeader);
    reporter_.report(messages::kOutputWed, paths_.outputWedPath.c_str(), version.c_str());
    reporter_.report(messages::kOutputTis, paths_.outputTisPath.c_str(),
                     options_.saveHeader ? messages::kHeader : messages::kNoHeader);

    census_ = takeTileCensus(inputWed, layout_);
    reporter_.report(messages::kBasicTiles, census_.basicTiles);
    reporter_.report(messages::kDoorTiles, census_.doorExtraTiles);
    reporter_.report(messages::kAnimationTiles, census_.animationExtraTiles);
    reporter_.reportLog(messages::kOverlayedDoorTiles, census_.overlayedDoorTiles);

    // No output may land on an input, nor on an output written before it,
    // by whatever name: the inputs' identities are taken before anything is written.
    const CompanionIdentities companions = identifyCompanionSources(platform_, paths_);
    kept_.insert(kept_.end(), companions.begin(), companions.end());
    const std::size_t inputCount = kept_.size();
    const FileIdentity outputWed =
        copyOutputWed(platform_, paths_.inputWedPath, paths_.outputWedPath, kept_);
    if (!outputWed.known) return fail(messages::kCreateOutputWed);
    kept_.push_back(outputWed);
    const FailedCopies failedCopies =
        copyCompanionFiles(platform_, paths_, reporter_, companions, kept_);
    const MappedOutputWed output =
        mapOutputWed(platform_, slots_, paths_.outputWedPath, paths_.outputName, layout_,
                     inputWedSize_, KeptFiles(kept_).first(inputCount));
    switch (output.status) {
        case MapOutputStatus::OpenFailed: return fail(messages::kOpenOutputWed);
        case MapOutputStatus::MapFailed: return fail(messages::kMapOutputWed);
        case MapOutputStatus::Mapped: break;
    }

    const PreparedTileset prepared =
        prepareOutputTileset(census_, tisSource_, inputTisBytes(), memory_);
    if (prepared.status != PassStatus::Done) return fail(messages::kNoMemory);
    tileset_ = prepared.tileset;
    copiedTileCount_ = prepared.copiedTileCount;
    if (!options_.silent) reporter_.consoleLine("");
    const OverlayPassInput passInput{census_,       layout_,         inputWed,
                                     output.image,  inputTisBytes(), tisSource_};
    pass_ = convertOverlayTiles(passInput, tileset_, copiedTileCount_, reporter_, memory_);
    if (pass_.status == PassStatus::OutOfMemory) return fail(messages::kNoMemory);
    if (pass_.status == PassStatus::TooManyTiles) return fail(messages::kTooManyTiles);

    releaseInputFiles(slots_, platform_);
    releaseOutputFiles(slots_, platform_);

    const OutputTisContent content{tileset_, copiedTileCount_, pass_.extraTiles,
                                   pass_.nextTileIndex, options_.saveHeader};
    switch (writeOutputTis(platform_, slots_, paths_.outputTisPath, content, kept_)) {
        case WriteTisStatus::CreateFailed: return fail(messages::kSaveOutputTis);
        case WriteTisStatus::WriteFailed: return fail(messages::kWriteOutputTis);
        case WriteTisStatus::Written: break;
    }
    const std::int32_t extraCount = pass_.extraTiles.count;
    freeOutputTiles(memory_, tileset_, pass_.extraTiles);

    if (options_.deleteSource) deleteSourceFiles(platform_, paths_, reporter_, failedCopies);

    reporter_.reportConsole(messages::kConsoleSummary, census_.basicTiles, census_.basicTiles,
                            extraCount);
    reporter_.reportLog(messages::kLogSummary, census_.basicTiles, extraCount);
    reporter_.closeLog();
    return kExitDone;
}

}  // namespace

int runConversion(const std::vector<std::string>& arguments, Platform& platform) {
    RunMemory memory(platform);
    return runConversion(arguments, platform, memory);
}

int runConversion(const std::vector<std::string>& arguments, Platform& platform,
                  TileMemory& memory) {
    if (arguments.size() <= 1) {
        Reporter reporter(platform, false);
        printUsage(reporter);
        return kExitDone;
    }
    const PathRules rules{platform.pathStyle(),
                          [&platform](unsigned char byte) { return platform.isLeadByte(byte); }};
    AreaPaths paths;
    setProgramDir(paths, arguments[0], rules);
    const CommandLine line = readCommandLine(arguments, paths, rules);
    Run run(platform, memory, line.options, paths);
    return run.execute(line);
}

}  // namespace wedmorph
