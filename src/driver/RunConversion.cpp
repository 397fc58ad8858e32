#include "driver/RunConversion.h"

#include <algorithm>
#include <optional>

#include "area/AreaPaths.h"
#include "convert/OverlayPass.h"
#include "formats/Tis.h"
#include "formats/Wed.h"
#include "memory/RunMemory.h"
#include "output/Companions.h"
#include "output/OutputTis.h"
#include "output/OutputWed.h"
#include "platform/FileOwners.h"
#include "report/Messages.h"
#include "report/Reporter.h"
#include "report/StepResult.h"

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

// One run, from the checks of the areas to the summary. Each step goes
// through or fails with the message that ends the run. What a step holds
// belongs to owners in the scope that needs it, so it is released as that
// scope ends, on every way out, before any message is reported.
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
    StepResult checkAreas(const CommandLine& line);
    StepResult convertArea();
    StepResult writeOutputs(FailedCopies& failedCopies);
    StepResult convertMappedFiles(MappedFile& inputTis, OutputTileset& tileset,
                                  FailedCopies& failedCopies);
    StepResult openInput(const std::string& path, MappedFile& mapped, const char* openFailure,
                         const char* mapFailure);
    StepResult writeOutputWed(std::size_t inputWedSize, MappedFile& outputWed,
                              FailedCopies& failedCopies);
    StepResult convertTiles(const MappedFile& inputWed, const MappedFile& inputTis,
                            const MappedFile& outputWed, OutputTileset& tileset);
    StepResult checkInputs(const MappedFile& wed, const MappedFile& tis);
    void reportSourcesAndCensus(WedImage wed);

    int fail(Failure failure) {
        reporter_.fail(failure.message);
        reporter_.closeLog();
        return kExitFailed;
    }

    Platform& platform_;
    TileMemory& memory_;
    const ConversionOptions& options_;
    AreaPaths& paths_;
    Reporter reporter_;

    WedLayout layout_;
    TisSource tisSource_;
    TileCensus census_;
    std::int32_t extraTileCount_ = 0;
    // The inputs, then each output as it is written: no later output may land on one.
    std::vector<FileIdentity> kept_;
};

int Run::execute(const CommandLine& line) {
    if (options_.writeLog) {
        const std::string logPath = buildLogPath(paths_);
        if (logPath.size() <= kMaxPathLength) reporter_.openLog(logPath);
    }
    if (const StepResult failed = checkAreas(line)) {
        printUsage(reporter_);
        return fail(*failed);
    }
    if (const StepResult failed = convertArea()) return fail(*failed);
    reporter_.reportConsole(messages::kConsoleSummary, census_.basicTiles, census_.basicTiles,
                            extraTileCount_);
    reporter_.reportLog(messages::kLogSummary, census_.basicTiles, extraTileCount_);
    reporter_.closeLog();
    return kExitDone;
}

StepResult Run::checkAreas(const CommandLine& line) {
    if (!line.inputGiven) return Failure{messages::kEmptyInput};
    // An output argument that names no area (empty, or a folder alone) would
    // write nameless dot files: it counts as no output area at all.
    if (!line.outputGiven || paths_.outputName.empty()) return Failure{messages::kEmptyOutput};
    if (paths_.inputName.size() > kMaxAreaNameLength) return Failure{messages::kInputNameTooLong};
    if (paths_.outputName.size() > kMaxAreaNameLength) return Failure{messages::kOutputNameTooLong};
    // The program's own folder counts like every path built on it: one too
    // long is refused, never cut to a shorter one that names another folder.
    if (paths_.programDir.size() > kMaxPathLength || line.longestAreaArgument > kMaxPathLength ||
        longestAreaFilePath(paths_) > kMaxPathLength) {
        return Failure{messages::kPathTooLong};
    }
    if (!platform_.changeDirectory(paths_.inputDir)) return Failure{messages::kInvalidInputDir};
    if (!platform_.changeDirectory(paths_.outputDir)) return Failure{messages::kInvalidOutputDir};
    platform_.changeDirectory(paths_.programDir);  // only to leave the areas' folders
    buildInputWedPath(paths_);
    if (!platform_.plainFileExists(paths_.inputWedPath)) return Failure{messages::kInvalidInputName};
    buildInputTisPath(paths_);
    if (!platform_.plainFileExists(paths_.inputTisPath)) return Failure{messages::kNoInputTis};
    buildOutputPaths(paths_);
    return {};
}

StepResult Run::convertArea() {
    FailedCopies failedCopies;
    if (const StepResult failed = writeOutputs(failedCopies)) return failed;
    if (options_.deleteSource) deleteSourceFiles(platform_, paths_, reporter_, failedCopies);
    return {};
}

// The output WED, the companions and the output TIS. The input TIS stays
// mapped until the output TIS is written: the tiles the conversion leaves
// alone go out straight from it. The tile memory, and then the input TIS, are
// given back as this returns, before any source is deleted.
StepResult Run::writeOutputs(FailedCopies& failedCopies) {
    MappedFile inputTis;
    OutputTileset tileset;
    if (const StepResult failed = convertMappedFiles(inputTis, tileset, failedCopies)) return failed;
    const OutputTisContent content{tileset, InputTiles{inputTis.bytes(), tisSource_.firstTile},
                                   options_.saveHeader};
    if (const StepResult failed = writeOutputTis(platform_, paths_.outputTisPath, content, kept_)) {
        return failed;
    }
    extraTileCount_ = tileset.extraTileCount();
    return {};
}

// Everything that needs the WEDs mapped. They are released as this returns:
// the input, then the output WED, which is then complete on disk.
StepResult Run::convertMappedFiles(MappedFile& inputTis, OutputTileset& tileset,
                                   FailedCopies& failedCopies) {
    MappedFile outputWed, inputWed;  // released in the reverse order
    if (const StepResult failed = openInput(paths_.inputWedPath, inputWed,
                                            messages::kOpenInputWed, messages::kMapInputWed)) {
        return failed;
    }
    if (const StepResult failed = openInput(paths_.inputTisPath, inputTis,
                                            messages::kOpenInputTis, messages::kMapInputTis)) {
        return failed;
    }
    if (const StepResult failed = checkInputs(inputWed, inputTis)) return failed;
    reportSourcesAndCensus(WedImage{inputWed.bytes()});
    if (const StepResult failed = writeOutputWed(inputWed.size, outputWed, failedCopies)) {
        return failed;
    }
    return convertTiles(inputWed, inputTis, outputWed, tileset);
}

// The output WED copied and mapped, the companions copied between the two.
// No output may land on an input, nor on an output written before it, by
// whatever name: the companions' identities join the inputs' before anything
// is written.
StepResult Run::writeOutputWed(std::size_t inputWedSize, MappedFile& outputWed,
                               FailedCopies& failedCopies) {
    const CompanionIdentities companions = identifyCompanionSources(platform_, paths_);
    kept_.insert(kept_.end(), companions.begin(), companions.end());
    const std::size_t inputCount = kept_.size();
    if (const StepResult failed =
            copyOutputWed(platform_, paths_.inputWedPath, paths_.outputWedPath, kept_)) {
        return failed;
    }
    failedCopies = copyCompanionFiles(platform_, paths_, reporter_, companions, kept_);
    return mapOutputWed(platform_, paths_.outputWedPath, paths_.outputName, layout_, inputWedSize,
                        KeptFiles(kept_).first(inputCount), outputWed);
}

StepResult Run::convertTiles(const MappedFile& inputWed, const MappedFile& inputTis,
                             const MappedFile& outputWed, OutputTileset& tileset) {
    if (const StepResult failed =
            prepareOutputTileset(census_, layout_, tisSource_, memory_, tileset)) {
        return failed;
    }
    if (!options_.silent) reporter_.consoleLine("");
    const OverlayPassInput input{census_, layout_, WedImage{inputWed.bytes()},
                                 WritableWedImage{outputWed.bytes()},
                                 InputTiles{inputTis.bytes(), tisSource_.firstTile}};
    PassProgress progress;
    if (!options_.silent) {
        progress = [this](std::int32_t tile, std::int32_t basicTiles) {
            reporter_.reportConsole(messages::kProgress, tile, basicTiles);
        };
    }
    return convertOverlayTiles(input, progress, tileset);
}

// Opens and maps one input read-only, and takes its identity: an input that
// cannot be told apart from the outputs is not opened.
StepResult Run::openInput(const std::string& path, MappedFile& mapped, const char* openFailure,
                          const char* mapFailure) {
    mapped.file = OwnedFile(platform_, platform_.openForReading(path));
    if (!mapped.file) return Failure{openFailure};
    const FileIdentity identity = platform_.identifyFile(mapped.file.get());
    if (!identity.known) return Failure{openFailure};
    kept_.push_back(identity);
    if (!mapWholeFile(platform_, mapped, Access::ReadOnly)) return Failure{mapFailure};
    return {};
}

// Everything later reads inside the two images, and inputs that cannot be
// right are refused: both are made sure here, before any report line.
StepResult Run::checkInputs(const MappedFile& wed, const MappedFile& tis) {
    const std::optional<WedLayout> layout = checkWedLayout(WedImage{wed.bytes()});
    if (!layout) return Failure{messages::kInvalidInputWed};
    layout_ = *layout;
    const TisReading reading = readTisSource(tis.bytes(), static_cast<std::uint32_t>(tis.size));
    switch (reading.check) {
        case TisCheck::Invalid: return Failure{messages::kInvalidInputTis};
        case TisCheck::PvrzTiles: return Failure{messages::kPvrzInputTis};
        case TisCheck::Valid: break;
    }
    tisSource_ = reading.source;
    // New tiles take the indices after the tiles kept: with cells' tiles
    // missing from the TIS, those cells would show the new tiles instead.
    if (tisSource_.tilesInFile < static_cast<std::uint32_t>(layout_.entryCount)) {
        return Failure{messages::kTooFewInputTiles};
    }
    return {};
}

void Run::reportSourcesAndCensus(WedImage wed) {
    const std::string version = readWedVersion(wed);
    reporter_.report(messages::kSourceWed, paths_.inputWedPath.c_str(), version.c_str());
    reporter_.report(messages::kSourceTis, paths_.inputTisPath.c_str(),
                     tisSource_.hasHeader ? tisSource_.versionText.c_str() : messages::kNoHeader);
    reporter_.report(messages::kOutputWed, paths_.outputWedPath.c_str(), version.c_str());
    reporter_.report(messages::kOutputTis, paths_.outputTisPath.c_str(),
                     options_.saveHeader ? messages::kHeader : messages::kNoHeader);

    census_ = takeTileCensus(wed, layout_);
    reporter_.report(messages::kBasicTiles, census_.basicTiles);
    reporter_.report(messages::kDoorTiles, census_.doorExtraTiles);
    reporter_.report(messages::kAnimationTiles, census_.animationExtraTiles);
    reporter_.reportLog(messages::kOverlayedDoorTiles, census_.overlayedDoorTiles);
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
