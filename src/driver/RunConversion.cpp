#include "driver/RunConversion.h"

#include <optional>

#include "area/AreaPaths.h"
#include "convert/OverlayPass.h"
#include "formats/Tis.h"
#include "formats/Wed.h"
#include "memory/RunMemory.h"
#include "output/HeldFiles.h"
#include "output/InputArea.h"
#include "output/OutputArea.h"
#include "output/OutputTis.h"
#include "output/RunLog.h"
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
    std::optional<std::string> input;   // the first area argument
    std::optional<std::string> output;  // the second; a third and later are ignored
};

bool takeOption(const std::string& argument, ConversionOptions& options) {
    if (argument == "-s") return options.silent = true;
    if (argument == "-h") return options.saveHeader = true;
    if (argument == "-d") return options.deleteSource = true;
    if (argument == "-l") return options.writeLog = true;
    return false;
}

// The conversion tells how it ended; the message is the run's to choose.
StepResult passResult(PassOutcome outcome) {
    switch (outcome) {
        case PassOutcome::Done: break;
        case PassOutcome::NoMemory: return Failure{messages::kNoMemory};
        case PassOutcome::TooManyTiles: return Failure{messages::kTooManyTiles};
    }
    return {};
}

CommandLine readCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t n = 1; n < arguments.size(); ++n) {
        const std::string& argument = arguments[n];
        if (takeOption(argument, line.options)) continue;
        if (!line.input) {
            line.input = argument;
        } else if (!line.output) {
            line.output = argument;
        }
    }
    return line;
}

// One run, from the checks of the areas to the summary, as the list of its
// steps. Each step goes through or fails with the message that ends the run.
// The run's files are held by its two areas, which release them when the run
// goes; an output area not committed by then is rolled back.
class Run {
public:
    Run(Platform& platform, TileMemory& memory, const CommandLine& line, const AreaPaths& paths)
        : platform_(platform),
          memory_(memory),
          options_(line.options),
          line_(line),
          paths_(paths),
          reporter_(platform, line.options.silent),
          input_(platform, paths.input, line.options.deleteSource ? InputUse::ReadThenDelete : InputUse::Read,
                 protected_),
          output_(platform, paths.output, protected_, line.options.deleteSource) {}

    int execute();

private:
    StepResult checkAreas();
    StepResult openInputs();
    StepResult checkInputs();
    StepResult reportSourcesAndCensus();  // never fails
    StepResult holdOutputs();
    StepResult copyCompanions();
    StepResult convertTiles();
    StepResult writeWed();
    StepResult prepareTiles();
    StepResult writeTisTiles();
    StepResult writeTisExtras();
    int finish();
    int abandon(const Failure& failure);

    Platform& platform_;
    TileMemory& memory_;
    const ConversionOptions& options_;
    const CommandLine& line_;
    const AreaPaths& paths_;

    // Released in the opposite order: the tile memory first, then the
    // output area (rolled back unless committed), the input area, the log.
    Reporter reporter_;
    ProtectedFiles protected_;
    InputArea input_;
    OutputArea output_;

    WedLayout layout_;
    TisSource tisSource_;
    TileCensus census_;
    MemoryArray<std::uint8_t> patchedWed_;  // the output WED's bytes, patched by the pass
    std::optional<OutputTileset> tileset_;
    StepResult tisTilesFailed_;  // the copied tiles' failure, told after the WED's
    std::int32_t extraTileCount_ = 0;
    bool bitmapsShared_ = false;  // another area in the input folder names the input's bitmaps
};

int Run::execute() {
    reporter_.startLog(openRunLog(platform_, paths_, options_.writeLog, protected_));
    if (const StepResult failed = checkAreas()) {
        printUsage(reporter_);
        return abandon(*failed);
    }
    // Up to the commit an interruption cancels the run between two steps: the
    // output area is left as the run found it, and running the same command
    // again converts the area. The commit checks once more before its first
    // rename; from then on the run finishes first.
    using Step = StepResult (Run::*)();
    for (const Step step : {&Run::openInputs, &Run::checkInputs, &Run::reportSourcesAndCensus, &Run::holdOutputs,
                            &Run::copyCompanions, &Run::prepareTiles, &Run::writeTisTiles, &Run::convertTiles,
                            &Run::writeWed, &Run::writeTisExtras}) {
        if (platform_.interrupted()) return abandon(Failure{messages::kRunInterrupted});
        if (const StepResult failed = (this->*step)()) return abandon(*failed);
    }
    if (!options_.deleteSource) {
        if (const StepResult failed = output_.commit(reporter_)) return abandon(*failed);
        return finish();
    }
    if (const StepResult failed = output_.commit(reporter_)) return abandon(*failed);
    if (const StepResult failed = output_.verify()) return abandon(*failed);
    input_.deleteFiles(reporter_, output_.companionsDone(), bitmapsShared_);
    return finish();
}

StepResult Run::checkAreas() {
    if (!line_.input) return Failure{messages::kEmptyInput};
    // An output argument that names no area (empty, or a folder alone) would
    // write nameless dot files: it counts as no output area at all.
    if (!line_.output || paths_.output.name.empty()) return Failure{messages::kEmptyOutput};
    if (paths_.input.name.size() > kMaxAreaNameLength) return Failure{messages::kInputNameTooLong};
    if (paths_.output.name.size() > kMaxAreaNameLength) return Failure{messages::kOutputNameTooLong};
    // The program's own folder counts like every path built on it: one too
    // long is refused, never cut to a shorter one that names another folder.
    if (paths_.programDir.size() > kMaxPathLength || line_.input->size() > kMaxPathLength ||
        line_.output->size() > kMaxPathLength || longestAreaFilePath(paths_) > kMaxPathLength) {
        return Failure{messages::kPathTooLong};
    }
    if (!platform_.changeDirectory(paths_.input.dir)) return Failure{messages::kInvalidInputDir};
    if (!platform_.changeDirectory(paths_.output.dir)) return Failure{messages::kInvalidOutputDir};
    (void)platform_.changeDirectory(paths_.programDir);  // only to leave the areas' folders
    if (!platform_.plainFileExists(paths_.input.wed)) return Failure{messages::kInvalidInputName};
    if (!platform_.plainFileExists(paths_.input.tis)) return Failure{messages::kNoInputTis};
    return {};
}

StepResult Run::openInputs() {
    if (const StepResult failed = input_.open()) return failed;
    // With "-d", whatever the deletions will need is known before anything
    // is written, so that they follow the last check at once.
    bitmapsShared_ = options_.deleteSource && otherAreaSharesBitmaps(platform_, paths_.input, input_.wedIdentity());
    return input_.holdCompanions(bitmapsShared_);
}

// Everything later reads inside the two images, and inputs that cannot be
// right are refused: both are made sure here, before any report line.
StepResult Run::checkInputs() {
    const WedImage wed{input_.wed()};
    const std::optional<WedLayout> layout = checkWedLayout(wed);
    if (!layout) return Failure{messages::kInvalidInputWed};
    layout_ = *layout;
    const TisReading reading =
        readTisSource(input_.tis());
    switch (reading.check) {
        case TisCheck::Invalid: return Failure{messages::kInvalidInputTis};
        case TisCheck::PvrzTiles: return Failure{messages::kPvrzInputTis};
        case TisCheck::Valid: break;
    }
    tisSource_ = reading.source;
    census_ = takeTileCensus(wed, layout_);
    if (tisSource_.tilesInFile < tilesTheWedUses(census_, layout_)) return Failure{messages::kTooFewInputTiles};
    return {};
}

StepResult Run::reportSourcesAndCensus() {
    const std::string version = readWedVersion(WedImage{input_.wed()});
    reporter_.report(messages::kSourceWed, paths_.input.wed.c_str(), version.c_str());
    reporter_.report(messages::kSourceTis, paths_.input.tis.c_str(),
                     tisSource_.hasHeader ? tisSource_.versionText.c_str() : messages::kNoHeader);
    reporter_.report(messages::kOutputWed, paths_.output.wed.c_str(), version.c_str());
    reporter_.report(messages::kOutputTis, paths_.output.tis.c_str(),
                     options_.saveHeader ? messages::kHeader : messages::kNoHeader);
    reporter_.report(messages::kBasicTiles, census_.basicTiles);
    reporter_.report(messages::kDoorTiles, census_.doorExtraTiles);
    reporter_.report(messages::kAnimationTiles, census_.animationExtraTiles);
    reporter_.reportLog(messages::kOverlayedDoorTiles, census_.overlayedDoorTiles);
    return {};
}

// Every output target is held before any byte of any output is written: a
// run that cannot have its WED and TIS writes none of them.
StepResult Run::holdOutputs() {
    const InputNames inputNames(platform_, paths_.input);
    return output_.hold(inputNames, input_);
}

StepResult Run::copyCompanions() { return output_.copyCompanions(input_, reporter_); }

// What the output keeps and the room to make its tiles in, reserved before
// any byte of the TIS is written, and the tiles the pass fills if they are
// keyed marked.
StepResult Run::prepareTiles() {
    const std::span<const std::uint8_t> wed = input_.wed();
    patchedWed_ = MemoryArray<std::uint8_t>::allocate(memory_, wed.size());
    if (!patchedWed_) return Failure{messages::kNoMemory};
    const WritableWedImage output{std::span(&patchedWed_[0], wed.size())};
    std::copy(wed.begin(), wed.end(), output.bytes.begin());
    writeTilesetName(output, layout_, paths_.output.name);
    tileset_.emplace();
    const PassOutcome prepared = prepareOutputTileset(census_, layout_, tisSource_, memory_, *tileset_);
    if (const StepResult failed = passResult(prepared)) return failed;
    markFillCandidates(OverlayPassInput{census_, layout_, WedImage{wed}, output}, *tileset_);
    return {};
}

// The copied tiles go out as the input is read, once; the keys noted on the
// way are all the pass needs of the tiles. A failure is told once the pass
// has run and the WED is written, as the TIS's failures always are: the
// console shows the pass's progress first, and a WED that fails too is the
// failure told.
StepResult Run::writeTisTiles() {
    tisTilesFailed_ = output_.writeTisTiles(*tileset_, input_.tisFile(), paths_.input.tis, tisSource_.firstTile,
                                            options_.saveHeader);
    return {};
}

// The pass patches the copy of the input WED and places the extra tiles.
StepResult Run::convertTiles() {
    if (tisTilesFailed_ &&
        noteInputTisKeys(platform_, *tileset_, input_.tisFile(), paths_.input.tis, tisSource_.firstTile)) {
        return tisTilesFailed_;
    }
    const std::span<const std::uint8_t> wed = input_.wed();
    const WritableWedImage output{std::span(&patchedWed_[0], wed.size())};
    if (!options_.silent) reporter_.consoleLine("");
    const OverlayPassInput input{census_, layout_, WedImage{wed}, output};
    PassProgress progress;
    if (!options_.silent) {
        progress = [this](std::int32_t tile, std::int32_t basicTiles) {
            reporter_.reportConsole(messages::kProgress, tile, basicTiles);
        };
    }
    return passResult(convertOverlayTiles(input, progress, *tileset_));
}

StepResult Run::writeWed() {
    const WedImage patched{std::span<const std::uint8_t>(&patchedWed_[0], patchedWed_.size())};
    if (const StepResult failed = output_.writeWed(input_.wedFile(), patched, layout_)) return failed;
    patchedWed_.reset();
    return {};
}

StepResult Run::writeTisExtras() {
    if (tisTilesFailed_) return tisTilesFailed_;
    if (const StepResult failed =
            output_.writeTisExtras(*tileset_, input_.tisFile(), paths_.input.tis, tisSource_.firstTile,
                                   options_.saveHeader)) {
        return failed;
    }
    extraTileCount_ = tileset_->extraTileCount();
    tileset_.reset();
    return {};
}

int Run::finish() {
    reporter_.reportConsole(messages::kConsoleSummary, census_.basicTiles, census_.basicTiles,
                            extraTileCount_);
    reporter_.reportLog(messages::kLogSummary, census_.basicTiles, extraTileCount_);
    return kExitDone;
}

// The message, and after it, where a system call's failure ended the run,
// the system's reason on standard error.
int Run::abandon(const Failure& failure) {
    reporter_.fail(failure.message);
    if (isSystemError(failure.error)) reporter_.systemReason(failure.path, failure.error);
    return kExitFailed;
}

}  // namespace

int runConversion(const std::vector<std::string>& arguments, Platform& platform) {
    RunMemory memory(platform);
    return runConversion(arguments, platform, memory);
}

int runConversion(const std::vector<std::string>& arguments, Platform& platform,
                  TileMemory& memory) {
    Reporter console(platform, false);
    if (arguments.size() <= 1) {
        printUsage(console);
        return kExitDone;
    }
    // Areas hang off the program's own folder; without it there is no
    // folder to work in, and the current one is never taken instead.
    if (arguments[0].empty()) {
        printUsage(console);
        console.fail(messages::kNoProgramDir);
        return kExitFailed;
    }
    const PathRules rules{platform.pathStyle(),
                          [&platform](unsigned char byte) { return platform.isLeadByte(byte); }};
    const CommandLine line = readCommandLine(arguments);
    const AreaPaths paths = buildAreaPaths(arguments[0], line.input, line.output, rules);
    int status = kExitFailed;
    {
        Run run(platform, memory, line, paths);
        status = run.execute();
    }
    // The run has gone: rolled back, or its commit done and its files let go.
    platform.runSettled();
    return status;
}

}  // namespace wedmorph
