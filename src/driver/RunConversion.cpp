#include "driver/RunConversion.h"

#include <optional>

#include "area/AreaPaths.h"
#include "convert/OverlayPass.h"
#include "formats/Tis.h"
#include "formats/Wed.h"
#include "memory/RunMemory.h"
#include "output/Companions.h"
#include "output/HeldFiles.h"
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
// What the run holds are members, declared so that they are released in the
// order the run needs: the tile memory first, then the views of the inputs,
// the outputs, the inputs, and the log last.
class Run {
public:
    Run(Platform& platform, TileMemory& memory, const CommandLine& line, const AreaPaths& paths)
        : platform_(platform),
          memory_(memory),
          options_(line.options),
          line_(line),
          paths_(paths),
          reporter_(platform, line.options.silent) {}

    int execute();

private:
    void openLog();
    StepResult checkAreas();
    StepResult openInputs();
    StepResult checkInputs();
    void reportSourcesAndCensus();
    StepResult holdOutputs();
    StepResult convertTiles();
    StepResult writeWed();
    StepResult writeTis();
    StepResult makeSureOfOutputs();
    void deleteSources();
    int finish();
    int fail(Failure failure);

    bool apartFromTheAreas(const FileIdentity& log);
    InputUse inputUse() const {
        return options_.deleteSource ? InputUse::ReadThenDelete : InputUse::Read;
    }

    Platform& platform_;
    TileMemory& memory_;
    const ConversionOptions& options_;
    const CommandLine& line_;
    const AreaPaths& paths_;

    Reporter reporter_;
    ProtectedFiles protected_;
    InputFile inputWed_, inputTis_;
    OutputFile outputWed_, outputTis_;
    CompanionFiles companions_;
    MappedRegion wedView_, tisView_;

    WedLayout layout_;
    TisSource tisSource_;
    TileCensus census_;
    MemoryArray<std::uint8_t> patchedWed_;  // the output WED's bytes, patched by the pass
    std::optional<OutputTileset> tileset_;
    std::int32_t extraTileCount_ = 0;
};

int Run::execute() {
    openLog();
    if (const StepResult failed = checkAreas()) {
        printUsage(reporter_);
        return fail(*failed);
    }
    if (const StepResult failed = openInputs()) return fail(*failed);
    if (const StepResult failed = checkInputs()) return fail(*failed);
    reportSourcesAndCensus();
    holdCompanionSources(platform_, paths_, inputUse(), protected_, companions_);
    if (const StepResult failed = holdOutputs()) return fail(*failed);
    copyCompanions(platform_, paths_, reporter_, companions_);
    if (const StepResult failed = convertTiles()) return fail(*failed);
    if (const StepResult failed = writeWed()) return fail(*failed);
    if (const StepResult failed = writeTis()) return fail(*failed);
    if (options_.deleteSource) {
        if (const StepResult failed = makeSureOfOutputs()) return fail(*failed);
        deleteSources();
    }
    return finish();
}

// The log goes on a file of its own: never on one that an area path leads
// to. No output may land on it, whether this run writes it or not.
void Run::openLog() {
    if (paths_.logPath.size() > kMaxPathLength) return;
    if (!options_.writeLog) {
        protected_.add(platform_.statusOfPath(paths_.logPath).identity);
        return;
    }
    OwnedFile log(platform_, platform_.openLog(paths_.logPath));
    if (!log) return;
    const FileIdentity identity = platform_.statusOf(log.get()).identity;
    if (!identity.known) return;
    protected_.add(identity);
    if (apartFromTheAreas(identity)) reporter_.startLog(std::move(log));
}

bool Run::apartFromTheAreas(const FileIdentity& identity) {
    std::vector<const std::string*> areaFiles = {&paths_.inputWedPath, &paths_.inputTisPath,
                                                 &paths_.outputWedPath, &paths_.outputTisPath};
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        areaFiles.push_back(&paths_.inputCompanionPaths[n]);
        areaFiles.push_back(&paths_.outputCompanionPaths[n]);
    }
    for (const std::string* path : areaFiles) {
        if (platform_.statusOfPath(*path).identity == identity) return false;
    }
    const InputNames inputNames(platform_, paths_);
    return !inputNames.includes(paths_.programDir, paths_.logPath);
}

StepResult Run::checkAreas() {
    if (!line_.input) return Failure{messages::kEmptyInput};
    // An output argument that names no area (empty, or a folder alone) would
    // write nameless dot files: it counts as no output area at all.
    if (!line_.output || paths_.outputName.empty()) return Failure{messages::kEmptyOutput};
    if (paths_.inputName.size() > kMaxAreaNameLength) return Failure{messages::kInputNameTooLong};
    if (paths_.outputName.size() > kMaxAreaNameLength) return Failure{messages::kOutputNameTooLong};
    // The program's own folder counts like every path built on it: one too
    // long is refused, never cut to a shorter one that names another folder.
    if (paths_.programDir.size() > kMaxPathLength || line_.input->size() > kMaxPathLength ||
        line_.output->size() > kMaxPathLength || longestAreaFilePath(paths_) > kMaxPathLength) {
        return Failure{messages::kPathTooLong};
    }
    if (!platform_.changeDirectory(paths_.inputDir)) return Failure{messages::kInvalidInputDir};
    if (!platform_.changeDirectory(paths_.outputDir)) return Failure{messages::kInvalidOutputDir};
    platform_.changeDirectory(paths_.programDir);  // only to leave the areas' folders
    if (!platform_.plainFileExists(paths_.inputWedPath)) return Failure{messages::kInvalidInputName};
    if (!platform_.plainFileExists(paths_.inputTisPath)) return Failure{messages::kNoInputTis};
    return {};
}

// The input WED and TIS, held and mapped read-only. An input whose identity
// cannot be had cannot be told apart from the outputs: it is not opened.
StepResult Run::openInputs() {
    if (!holdInput(platform_, paths_.inputWedPath, inputUse(), protected_, inputWed_)) {
        return Failure{messages::kOpenInputWed};
    }
    wedView_ = MappedRegion(platform_, inputWed_.file.get());
    if (!wedView_) return Failure{messages::kMapInputWed};
    if (!holdInput(platform_, paths_.inputTisPath, inputUse(), protected_, inputTis_)) {
        return Failure{messages::kOpenInputTis};
    }
    tisView_ = MappedRegion(platform_, inputTis_.file.get());
    if (!tisView_) return Failure{messages::kMapInputTis};
    return {};
}

// Everything later reads inside the two images, and inputs that cannot be
// right are refused: both are made sure here, before any report line.
StepResult Run::checkInputs() {
    const WedImage wed{wedView_.bytes()};
    const std::optional<WedLayout> layout = checkWedLayout(wed);
    if (!layout) return Failure{messages::kInvalidInputWed};
    layout_ = *layout;
    const TisReading reading =
        readTisSource(tisView_.bytes());
    switch (reading.check) {
        case TisCheck::Invalid: return Failure{messages::kInvalidInputTis};
        case TisCheck::PvrzTiles: return Failure{messages::kPvrzInputTis};
        case TisCheck::Valid: break;
    }
    tisSource_ = reading.source;
    census_ = takeTileCensus(wed, layout_);
    // New tiles take the indices after the tiles kept: with the tile of a
    // cell, or a door tile a cell names, missing from the TIS, that cell
    // would show a new tile instead.
    const std::int64_t needed =
        std::max<std::int64_t>(layout_.entryCount, std::int64_t{census_.highestSecondaryTile} + 1);
    if (tisSource_.tilesInFile < needed) return Failure{messages::kTooFewInputTiles};
    return {};
}

void Run::reportSourcesAndCensus() {
    const std::string version = readWedVersion(WedImage{wedView_.bytes()});
    reporter_.report(messages::kSourceWed, paths_.inputWedPath.c_str(), version.c_str());
    reporter_.report(messages::kSourceTis, paths_.inputTisPath.c_str(),
                     tisSource_.hasHeader ? tisSource_.versionText.c_str() : messages::kNoHeader);
    reporter_.report(messages::kOutputWed, paths_.outputWedPath.c_str(), version.c_str());
    reporter_.report(messages::kOutputTis, paths_.outputTisPath.c_str(),
                     options_.saveHeader ? messages::kHeader : messages::kNoHeader);
    reporter_.report(messages::kBasicTiles, census_.basicTiles);
    reporter_.report(messages::kDoorTiles, census_.doorExtraTiles);
    reporter_.report(messages::kAnimationTiles, census_.animationExtraTiles);
    reporter_.reportLog(messages::kOverlayedDoorTiles, census_.overlayedDoorTiles);
}

// Every output target is held, in this order, before any byte of any output
// is written: a run that cannot have its WED and TIS writes none of them.
StepResult Run::holdOutputs() {
    const InputNames inputNames(platform_, paths_);
    if (!holdOutput(platform_, paths_.outputWedPath, inputNames, protected_, outputWed_)) {
        return Failure{messages::kCreateOutputWed};
    }
    if (!holdOutput(platform_, paths_.outputTisPath, inputNames, protected_, outputTis_)) {
        return Failure{messages::kSaveOutputTis};
    }
    holdCompanionTargets(platform_, paths_, inputNames, protected_, companions_);
    return {};
}

// The pass patches a copy of the input WED in memory and records what
// becomes of each tile; the tiles are made as the output TIS is written.
StepResult Run::convertTiles() {
    const std::span<const std::uint8_t> wed = wedView_.bytes();
    patchedWed_ = MemoryArray<std::uint8_t>::allocate(memory_, wed.size());
    if (!patchedWed_) return Failure{messages::kNoMemory};
    const WritableWedImage output{std::span(&patchedWed_[0], wed.size())};
    std::copy(wed.begin(), wed.end(), output.bytes.begin());
    writeTilesetName(output, layout_, paths_.outputName);
    tileset_.emplace();
    if (const StepResult failed = prepareOutputTileset(census_, layout_, tisSource_, memory_, *tileset_)) {
        return failed;
    }
    if (!options_.silent) reporter_.consoleLine("");
    const OverlayPassInput input{census_, layout_, WedImage{wed}, output,
                                 InputTiles{tisView_.bytes(), tisSource_.firstTile}};
    PassProgress progress;
    if (!options_.silent) {
        progress = [this](std::int32_t tile, std::int32_t basicTiles) {
            reporter_.reportConsole(messages::kProgress, tile, basicTiles);
        };
    }
    return convertOverlayTiles(input, progress, *tileset_);
}

StepResult Run::writeWed() {
    const WedImage patched{std::span<const std::uint8_t>(&patchedWed_[0], patchedWed_.size())};
    if (const StepResult failed = writeOutputWed(platform_, inputWed_.file.get(),
                                                 outputWed_.file.get(), patched, layout_)) {
        return failed;
    }
    patchedWed_.reset();
    markWritten(platform_, outputWed_);
    return {};
}

StepResult Run::writeTis() {
    const InputTiles input{tisView_.bytes(), tisSource_.firstTile};
    if (const StepResult failed = writeOutputTis(platform_, outputTis_.file.get(), *tileset_, input,
                                                 options_.saveHeader)) {
        return failed;
    }
    markWritten(platform_, outputTis_);
    extraTileCount_ = tileset_->extraTileCount();
    tileset_.reset();
    return {};
}

// Before a source is deleted, the outputs are on stable storage and their
// names still lead to the files this run wrote, as it wrote them.
StepResult Run::makeSureOfOutputs() {
    if (!platform_.flushFile(outputWed_.file.get())) return Failure{messages::kWriteOutputWed};
    if (!platform_.flushFile(outputTis_.file.get())) return Failure{messages::kWriteOutputTis};
    makeSureOfCompanions(platform_, paths_, reporter_, companions_);
    if (!platform_.flushFolder(paths_.outputDir)) return Failure{messages::kWriteOutputWed};
    if (!stillAsWritten(platform_, paths_.outputWedPath, outputWed_) ||
        !stillAsWritten(platform_, paths_.outputTisPath, outputTis_)) {
        return Failure{messages::kOutputsChanged};
    }
    return {};
}

// Each source is deleted through the file the run read, and only while its
// name still leads to that file and no other run holds it. The views go
// first: a mapped file cannot be deleted on Windows.
void Run::deleteSources() {
    wedView_.reset();
    tisView_.reset();
    const bool bitmapsShared = otherAreaSharesBitmaps(platform_, paths_);
    if (!platform_.deleteHeldFile(inputWed_.file.get(), paths_.inputWedPath)) {
        reporter_.warn(messages::kDeleteWed);
    }
    inputWed_.file.reset();
    if (!platform_.deleteHeldFile(inputTis_.file.get(), paths_.inputTisPath)) {
        reporter_.warn(messages::kDeleteTis);
    }
    inputTis_.file.reset();
    deleteCompanionSources(platform_, paths_, reporter_, companions_, bitmapsShared);
}

int Run::finish() {
    reporter_.reportConsole(messages::kConsoleSummary, census_.basicTiles, census_.basicTiles,
                            extraTileCount_);
    reporter_.reportLog(messages::kLogSummary, census_.basicTiles, extraTileCount_);
    return kExitDone;
}

// A failed run leaves no file it created behind it.
int Run::fail(Failure failure) {
    removeIfCreated(platform_, paths_.outputWedPath, outputWed_, true);
    removeIfCreated(platform_, paths_.outputTisPath, outputTis_, true);
    for (std::size_t n = 0; n < kCompanionCount; ++n) {
        removeIfCreated(platform_, paths_.outputCompanionPaths[n], companions_[n].target, true);
    }
    reporter_.fail(failure.message);
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
    Run run(platform, memory, line, paths);
    return run.execute();
}

}  // namespace wedmorph
