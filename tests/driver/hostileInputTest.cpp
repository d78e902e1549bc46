// Hostile input given to the real program: every case must end in its defined outcome, without
// a crash or a hang, without writing outside ./sequences and ./check, without changing an input,
// and (unless the run ends on purpose) with the other files of the run still processed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "runKorvane.h"

namespace {

namespace fs = std::filesystem;
using korvane::testing::BANNER;
using korvane::testing::CLOSING;
using korvane::testing::readFile;
using korvane::testing::runResult;
using korvane::testing::scratchFolder;
using korvane::testing::writeFile;

constexpr int TIMED_OUT = 124;  // what `timeout` returns when it had to stop the program
const std::string GOOD_SEQUENCE = ">good\nGGGGAAAACCCCAAGGGGAAAACCCC\n";
const std::string OUTPUT_SUFFIXES[] = {"_varn.ct", "_varn.dp", "_varn.svg"};

// Text with the NUL bytes of the literal kept.
template <size_t N>
std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

std::string invalidLine(const std::string& name) {
    return "\nCan not process invalid file ./sequences/" + name + ". \nPress ENTER to continue.\n";
}

// Every entry below root: its kind, and the bytes of regular files.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = fs::relative(it->path(), root).string();
        if (name.starts_with(".std")) continue;  // the harness's own stdin, stdout, stderr
        if (it->is_symlink()) entries[name] = "link to " + fs::read_symlink(it->path()).string();
        else if (it->is_directory()) entries[name] = "folder";
        else if (it->is_regular_file()) entries[name] = "file " + readFile(it->path());
        else entries[name] = "special";  // a named pipe is never opened here
    }
    return entries;
}

bool isOutputPlace(const std::string& name) { return name.starts_with("sequences/") || name.starts_with("check"); }

// Runs korvane and checks what holds for every run: it ended by itself with status 0 or 1, no
// sanitizer spoke, nothing outside ./sequences and ./check was written, no entry that was
// there before (input or otherwise) changed, outputs of earlier runs aside.
runResult runChecked(const scratchFolder& dir, const std::string& input = "") {
    const auto before = snapshot(dir.root);
    const runResult result = dir.run(input);
    EXPECT_NE(result.status, TIMED_OUT) << "korvane did not finish";
    EXPECT_TRUE(result.status == 0 || result.status == 1) << "status " << result.status << "\n" << result.err;
    EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("runtime error"), std::string::npos) << result.err;
    const auto after = snapshot(dir.root);
    for (const auto& [name, content] : before) {
        const auto now = after.find(name);
        // Outputs of an earlier run may be replaced, or removed when they can no longer be made.
        const bool output = isOutputPlace(name) && name.find("_varn.") != std::string::npos;
        if (now == after.end()) {
            if (!output) ADD_FAILURE() << name << " disappeared";
        } else if (now->second != content && !output) {
            ADD_FAILURE() << name << " changed";
        }
    }
    for (const auto& [name, content] : after) {
        if (!before.contains(name)) {
            EXPECT_TRUE(isOutputPlace(name)) << "written outside the output folders: " << name;
        }
    }
    return result;
}

bool hasOutputs(const scratchFolder& dir, const std::string& name) {
    for (const auto& suffix : OUTPUT_SUFFIXES)
        if (!fs::is_regular_file(dir.root / "sequences" / (name + suffix))) return false;
    return true;
}

bool hasAnyOutput(const scratchFolder& dir, const std::string& name) {
    for (const auto& suffix : OUTPUT_SUFFIXES)
        if (fs::exists(fs::symlink_status(dir.root / "sequences" / (name + suffix)))) return true;
    return false;
}

// Standard output of a run whose listed files are all invalid except those that fold (they
// print progress, not lines of their own), in listing order.
void expectInvalidReported(const runResult& result, const std::vector<std::string>& invalidNames) {
    for (const auto& name : invalidNames) EXPECT_NE(result.out.find(invalidLine(name)), std::string::npos) << name;
    EXPECT_TRUE(result.out.starts_with(BANNER)) << result.out;
    EXPECT_TRUE(result.out.ends_with(CLOSING)) << result.out;
}

TEST(hostileInput, binaryFilesAndNulBytes) {
    scratchFolder dir("binary");
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    dir.addSequence("a_noise.fasta", noise);
    dir.addSequence("b_nulseq.fasta", bytes(">t\nGGGGAAAA\0CCCC\n"));
    dir.addSequence("c_nulonly.fasta", std::string(64, '\0'));
    dir.addSequence("d_ff.fasta", "\xff>t\nGGGGAAAACCCC\n");
    // A title with a NUL byte, control characters and markup still gives a well-formed picture.
    dir.addSequence("e_nultitle.fasta", bytes(">a\0b\x01<&>\"\nGGGGAAAACCCCAAGGGGAAAACCCC\n"));
    dir.addSequence("f_good.fasta", GOOD_SEQUENCE);
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 0);
    expectInvalidReported(result, {"a_noise.fasta", "b_nulseq.fasta", "c_nulonly.fasta", "d_ff.fasta"});
    for (const char* name : {"a_noise", "b_nulseq", "c_nulonly", "d_ff"}) EXPECT_FALSE(hasAnyOutput(dir, name)) << name;
    ASSERT_TRUE(hasOutputs(dir, "e_nultitle"));
    ASSERT_TRUE(hasOutputs(dir, "f_good"));
    const std::string svg = readFile(dir.root / "sequences" / "e_nultitle_varn.svg");
    for (char c : svg) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t' && c != '\r');
    EXPECT_EQ(svg.find("<&>"), std::string::npos);
}

TEST(hostileInput, hundredMegabyteSequenceLineIsRefusedQuickly) {
    scratchFolder dir("huge");
    constexpr size_t HUGE_LINE = 100'000'000;
    {
        std::string content = ">huge\n";
        content.reserve(HUGE_LINE + 16);
        const std::string unit = "GGGGAAAACCCC";
        while (content.size() < HUGE_LINE) content += unit;
        content += '\n';
        dir.addSequence("a_huge.fasta", content);
    }
    dir.addSequence("b_good.fasta", GOOD_SEQUENCE);
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 0);
    expectInvalidReported(result, {"a_huge.fasta"});
    EXPECT_FALSE(hasAnyOutput(dir, "a_huge"));
    EXPECT_TRUE(hasOutputs(dir, "b_good"));
}

TEST(hostileInput, lineEndsMissingOrCarriageReturnOnly) {
    scratchFolder dir("lineends");
    // No line end at all: the whole file is the title, so there is no sequence.
    dir.addSequence("a_oneline.fasta", ">title GGGGAAAACCCC");
    // Carriage returns alone do not end lines here either (only LF and CR LF do).
    dir.addSequence("b_cronly.fasta", ">t\rGGGGAAAACCCC\rGGGGAAAACCCC\r");
    // A sequence whose only line has no line end is read.
    dir.addSequence("c_lastline.fasta", ">t\nGGGGAAAACCCCAAGGGGAAAACCCC");
    dir.addSequence("d_crlf.fasta", ">t\r\nGGGGAAAACCCC\r\nAAGGGGAAAACCCC\r\n");
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 0);
    expectInvalidReported(result, {"a_oneline.fasta", "b_cronly.fasta"});
    EXPECT_FALSE(hasAnyOutput(dir, "a_oneline"));
    EXPECT_FALSE(hasAnyOutput(dir, "b_cronly"));
    EXPECT_TRUE(hasOutputs(dir, "c_lastline"));
    EXPECT_TRUE(hasOutputs(dir, "d_crlf"));
}

TEST(hostileInput, longTitleKeepsItsFirst549Characters) {
    scratchFolder dir("title");
    std::string title;
    for (int k = 0; k < 550; ++k) title += static_cast<char>('a' + k % 26);
    title.back() = 'Z';  // the 550th character, the one that does not fit
    dir.addSequence("long.fasta", ">" + title + "\nGGGGAAAACCCCAAGGGGAAAACCCC\n");
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(hasOutputs(dir, "long"));
    const std::string ct = readFile(dir.root / "sequences" / "long_varn.ct");
    const std::string header = ct.substr(0, ct.find('\n'));
    EXPECT_TRUE(header.ends_with(title.substr(0, 549))) << header;
    EXPECT_EQ(readFile(dir.root / "sequences" / "long_varn.dp").find(title.substr(0, 549) + "Z"), std::string::npos);
}

TEST(hostileInput, drawingTitleIsCutBetweenCharacters) {
    scratchFolder dir("utf8title");
    std::string title;
    for (int k = 0; k < 40; ++k) title += "\xc3\xa9";  // 40 two-byte characters
    dir.addSequence("u.fasta", ">" + title + "\nGGGGAAAACCCCAAGGGGAAAACCCC\n");
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(hasOutputs(dir, "u"));
    // The drawing shows the CT header's text: "ENERGY = ...  " then the title, cut to 42
    // characters and "...".
    const std::string ct = readFile(dir.root / "sequences" / "u_varn.ct");
    const size_t energy = ct.find("ENERGY");
    const std::string prefix = ct.substr(energy, ct.find('\xc3') - energy);
    std::string shown = prefix;
    for (size_t k = prefix.size(); k < 42; ++k) shown += "\xc3\xa9";
    const std::string svg = readFile(dir.root / "sequences" / "u_varn.svg");
    EXPECT_NE(svg.find(">" + shown + "...</text>"), std::string::npos) << svg.substr(svg.rfind("<text"));
}

TEST(hostileInput, entriesThatAreNoReadableFile) {
    scratchFolder dir("entries");
    fs::create_directories(dir.root / "sequences" / "a_folder.fasta");
    fs::create_symlink(dir.root / "nowhere" / "missing.fasta", dir.root / "sequences" / "b_dangling.fasta");
    dir.addSequence("c_locked.fasta", GOOD_SEQUENCE);
    fs::permissions(dir.root / "sequences" / "c_locked.fasta", fs::perms::none);
    const bool root = ::geteuid() == 0;  // permissions do not stop root from reading
    dir.addSequence("d_good.fasta", GOOD_SEQUENCE);
    // A device would never end and a named pipe would never open: neither may stop the batch.
    fs::create_symlink("/dev/zero", dir.root / "sequences" / "e_zero.fasta");
    ASSERT_EQ(::mkfifo((dir.root / "sequences" / "f_pipe.fasta").c_str(), 0600), 0);
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 0);
    std::vector<std::string> invalid = {"a_folder.fasta", "b_dangling.fasta", "e_zero.fasta", "f_pipe.fasta"};
    if (!root) invalid.push_back("c_locked.fasta");
    expectInvalidReported(result, invalid);
    EXPECT_FALSE(hasAnyOutput(dir, "a_folder"));
    EXPECT_FALSE(hasAnyOutput(dir, "b_dangling"));
    if (!root) {
        EXPECT_FALSE(hasAnyOutput(dir, "c_locked"));
    }
    EXPECT_TRUE(fs::is_directory(dir.root / "sequences" / "a_folder.fasta"));
    EXPECT_TRUE(hasOutputs(dir, "d_good"));
    EXPECT_FALSE(hasAnyOutput(dir, "e_zero"));
    EXPECT_FALSE(hasAnyOutput(dir, "f_pipe"));
}

// Keeps the first half of dat/NAME and adds one good input.
void halveParameterFile(const scratchFolder& dir, const std::string& name) {
    const std::string text = readFile(dir.root / "dat" / name);
    writeFile(dir.root / "dat" / name, text.substr(0, text.size() / 2));
    dir.addSequence("good.fasta", GOOD_SEQUENCE);
}

TEST(hostileInput, emptyOrShortCoreParameterFileFailsTheLoad) {
    const std::string failed = BANNER + "in multiDatmain():error thermodynamics fail: 5\n";
    for (const char* name : {"stack.dat", "loop.dat", "tstackh.dat"}) {
        scratchFolder dir("emptycore");
        writeFile(dir.root / "dat" / name, "");
        dir.addSequence("good.fasta", GOOD_SEQUENCE);
        const auto result = runChecked(dir);
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_EQ(result.out, failed) << name;
        EXPECT_NE(result.err.find(std::string(name) + " holds none of its values"), std::string::npos) << result.err;
        EXPECT_FALSE(hasAnyOutput(dir, "good"));
    }
    scratchFolder dir("shortstack");
    halveParameterFile(dir, "stack.dat");
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("stack.dat misses"), std::string::npos) << result.err;
}

TEST(hostileInput, damagedParameterFilesLoadWithAWarning) {
    scratchFolder dir("damaged");
    halveParameterFile(dir, "int22.dat");
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("int22.dat ends early"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.ends_with(CLOSING));
    EXPECT_TRUE(hasOutputs(dir, "good"));
}

TEST(hostileInput, unreadableParameterSetEndsTheRunBeforeAnyFile) {
    const std::string failed = BANNER + "in multiDatmain():error thermodynamics fail: 5\n";
    {
        scratchFolder dir("emptymisc");
        writeFile(dir.root / "dat" / "miscloop.dat", "");
        dir.addSequence("good.fasta", GOOD_SEQUENCE);
        const auto result = runChecked(dir);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, failed);
        EXPECT_NE(result.err.find("miscloop.dat"), std::string::npos) << result.err;
        EXPECT_FALSE(hasAnyOutput(dir, "good"));
    }
    {
        scratchFolder dir("datfile", false);
        writeFile(dir.root / "dat", "not a folder\n");
        dir.addSequence("good.fasta", GOOD_SEQUENCE);
        const auto result = runChecked(dir);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, failed);
        EXPECT_FALSE(hasAnyOutput(dir, "good"));
    }
    // A folder, a device and a named pipe in place of a parameter file: none can be read.
    for (const std::string kind : {"folder", "device", "pipe"}) {
        scratchFolder dir("datentry");
        const fs::path loop = dir.root / "dat" / "loop.dat";
        fs::remove(loop);
        if (kind == "folder") fs::create_directories(loop);
        if (kind == "device") fs::create_symlink("/dev/zero", loop);
        if (kind == "pipe") {
            ASSERT_EQ(::mkfifo(loop.c_str(), 0600), 0);
        }
        dir.addSequence("good.fasta", GOOD_SEQUENCE);
        const auto result = runChecked(dir);
        EXPECT_EQ(result.status, 1) << kind;
        EXPECT_EQ(result.out, failed) << kind;
    }
}

TEST(hostileInput, outputThatCannotBeWrittenLeavesTheRestOfTheRun) {
    scratchFolder dir("output");
    dir.addSequence("a_blocked.fasta", GOOD_SEQUENCE);
    fs::create_directories(dir.root / "sequences" / "a_blocked_varn.dp");
    fs::create_directories(dir.root / "sequences" / "a_blocked_varn.svg");
    dir.addSequence("b_good.fasta", GOOD_SEQUENCE);
    const auto result = runChecked(dir);
    // The run goes on, but a run that lost an output must not report success.
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.ends_with(CLOSING));
    // The blocking folders stay as they were; what can be written is.
    EXPECT_NE(result.out.find("\nCan not write the output file ./sequences/a_blocked_varn.dp.\n"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir.root / "sequences" / "a_blocked_varn.dp"));
    EXPECT_TRUE(fs::is_directory(dir.root / "sequences" / "a_blocked_varn.svg"));
    EXPECT_TRUE(fs::is_regular_file(dir.root / "sequences" / "a_blocked_varn.ct"));
    EXPECT_TRUE(hasOutputs(dir, "b_good"));
}

TEST(hostileInput, namedPipeAtTheDrawingPathIsRefusedWithoutWaiting) {
    // Opening a pipe for writing would wait for a reader for ever (the harness's time limit
    // turns that into a failure); the pipe is refused and left as it is.
    scratchFolder dir("svgpipe");
    dir.addSequence("a.fasta", GOOD_SEQUENCE);
    dir.addSequence("b.fasta", GOOD_SEQUENCE);
    const fs::path pipe = dir.root / "sequences" / "a_varn.svg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("\nCan not write the output file ./sequences/a_varn.svg.\n"), std::string::npos)
        << result.out;
    EXPECT_TRUE(result.out.ends_with(CLOSING));
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(pipe)));
    EXPECT_TRUE(fs::is_regular_file(dir.root / "sequences" / "a_varn.ct"));
    EXPECT_TRUE(hasOutputs(dir, "b"));
}

TEST(hostileInput, unwritableCtOutputIsReportedAndTheRunGoesOn) {
    // Once for a folder in the CT file's place, once for a link into a folder that does not
    // exist; an old drawing must not survive to contradict the run.
    for (const bool folder : {true, false}) {
        scratchFolder dir("ctblocked");
        dir.addSequence("a.fasta", GOOD_SEQUENCE);
        dir.addSequence("b.fasta", GOOD_SEQUENCE);
        const fs::path ct = dir.root / "sequences" / "a_varn.ct";
        if (folder) fs::create_directories(ct);
        else fs::create_symlink(dir.root / "sequences" / "nowhere" / "a.ct", ct);
        writeFile(dir.root / "sequences" / "a_varn.svg", "old drawing");
        const auto result = runChecked(dir);
        EXPECT_EQ(result.status, 1) << folder;
        EXPECT_NE(result.out.find("\nCan not write the output file ./sequences/a_varn.ct.\n"), std::string::npos)
            << result.out;
        EXPECT_TRUE(result.out.ends_with(CLOSING));
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(fs::is_directory(ct), folder);
        EXPECT_FALSE(fs::exists(dir.root / "sequences" / "nowhere"));
        EXPECT_FALSE(fs::exists(dir.root / "sequences" / "a_varn.svg"));
        EXPECT_TRUE(hasOutputs(dir, "b"));
    }
}

TEST(hostileInput, linksAtOutputPathsAreRefusedNeverFollowed) {
    scratchFolder dir("links");
    const fs::path sequences = dir.root / "sequences";
    for (const char* name : {"a.fasta", "b.fasta", "c.fasta", "d.fasta"}) dir.addSequence(name, GOOD_SEQUENCE);
    writeFile(dir.root / "outside" / "victim", "precious\n");
    // a: links out of ./sequences to a file; b: dangling links out of it; c: its CT a link back
    // to its own input. d has none and must be written as usual.
    std::map<fs::path, fs::path> links;
    for (const auto& suffix : OUTPUT_SUFFIXES) {
        links[sequences / ("a" + suffix)] = "../outside/victim";
        links[sequences / ("b" + suffix)] = dir.root / "outside" / ("made" + suffix);
    }
    links[sequences / "c_varn.ct"] = "c.fasta";
    for (const auto& [link, target] : links) fs::create_symlink(target, link);
    const auto result = runChecked(dir);
    EXPECT_TRUE(result.out.ends_with(CLOSING));
    for (const auto& [link, target] : links) {
        EXPECT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_EQ(fs::read_symlink(link), target) << link;
        const std::string shown = "./sequences/" + link.filename().string();
        EXPECT_NE(result.out.find("\nCan not write the output file " + shown + ".\n"), std::string::npos) << shown;
    }
    EXPECT_EQ(readFile(dir.root / "outside" / "victim"), "precious\n");
    EXPECT_EQ(readFile(sequences / "c.fasta"), GOOD_SEQUENCE);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(sequences / "c_varn.dp")));
    EXPECT_TRUE(hasOutputs(dir, "d"));
    EXPECT_EQ(result.out.find("d_varn"), std::string::npos);
    // No temporary file is left beside the outputs.
    for (const auto& entry : fs::directory_iterator(sequences))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

TEST(hostileInput, readOnlySequenceFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root from writing";
    scratchFolder dir("readonly");
    dir.addSequence("a.fasta", GOOD_SEQUENCE);
    fs::permissions(dir.root / "sequences", fs::perms::owner_read | fs::perms::owner_exec);
    const auto result = runChecked(dir);
    fs::permissions(dir.root / "sequences", fs::perms::owner_all);
    // No output can be written: each is reported and the run ends normally.
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Can not write the output file ./sequences/a_varn.ct."), std::string::npos);
    EXPECT_NE(result.out.find("Can not write the output file ./sequences/a_varn.dp."), std::string::npos);
    EXPECT_FALSE(hasAnyOutput(dir, "a"));
}

TEST(hostileInput, thousandAndOneFilesProcessTheFirstThousand) {
    scratchFolder dir("thousand");
    constexpr int FILES = 1001;
    // s10000 .. s11000, so that the listing order is the numbering order.
    const auto nameOf = [](int k) {
        char name[16];
        std::snprintf(name, sizeof name, "s%d", 10000 + k);
        return std::string(name);
    };
    for (int k = 0; k < FILES; ++k) dir.addSequence(nameOf(k) + ".fasta", ">s\nGGGGAAAACCCC\n");
    const auto result = runChecked(dir);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Korvane can process no more than 1000 fasta files at one time. The number of fasta "
                              "files is more than 1000. And korvane will process first 1000 fasta file. \n"),
              std::string::npos);
    EXPECT_TRUE(result.out.ends_with("99%" + CLOSING)) << result.out.substr(result.out.size() - 200);
    int processed = 0;
    for (int k = 0; k < FILES; ++k) processed += hasOutputs(dir, nameOf(k)) ? 1 : 0;
    EXPECT_EQ(processed, 1000);
    EXPECT_FALSE(hasAnyOutput(dir, "s11000"));
}

}  // namespace

TEST(hostileInput, invalidFileSaysWhyAndLosesItsOldOutputs) {
    scratchFolder dir("invalidwhy");
    dir.addSequence("a.fasta", ">a\nGGGGAAAACCCC\nGGZA\n");
    dir.addSequence("b.fasta", ">b\nACGUACGU\n>c\nGGGGAAAACCCC\n");
    dir.addSequence("good.fasta", GOOD_SEQUENCE);
    // Outputs of an earlier run of a.fasta would contradict this run's report.
    for (const char* suffix : {"_varn.ct", "_varn.dp", "_varn.svg"}) {
        writeFile(dir.root / "sequences" / (std::string("a") + suffix), "old");
    }
    const auto result = runChecked(dir, "\n\n\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("./sequences/a.fasta: invalid: line 3, column 3: 'Z' is not a sequence letter"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("./sequences/b.fasta: invalid: line 3: a second record begins there"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(hasAnyOutput(dir, "a"));
    EXPECT_TRUE(hasOutputs(dir, "good"));
}

TEST(hostileInput, consoleThatCannotBeWrittenIsNotSuccess) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    scratchFolder dir("devfull");
    dir.addSequence("good.fasta", GOOD_SEQUENCE);
    const char* bin = std::getenv("KORVANE_BIN");
    const std::string binary = bin ? bin : std::string(KORVANE_BINARY_DIR) + "/korvane";
    const std::string command =
        "cd '" + dir.root.string() + "' && timeout 120 '" + binary + "' < /dev/null > /dev/full 2>/dev/null";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_TRUE(hasOutputs(dir, "good"));
}

namespace {

// Address sanitizer reserves far more address space than any limit a test could set.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool ADDRESS_SANITIZED = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool ADDRESS_SANITIZED = true;
#else
constexpr bool ADDRESS_SANITIZED = false;
#endif
#else
constexpr bool ADDRESS_SANITIZED = false;
#endif

TEST(hostileInput, overflowingFilesStayWithinAMemoryLimitAndTheRunGoesOn) {
    if (ADDRESS_SANITIZED) GTEST_SKIP() << "a memory limit cannot be set under the address sanitizer";
    scratchFolder dir("memorylimit");
    std::string repeats = ">repeats\n";
    for (int k = 0; k < 15'000; ++k) repeats += "GCAU";  // 60,000 nt: once 4.2 GB
    dir.addSequence("a_repeats.fasta", repeats + "\n");
    std::string random = ">random\n";
    std::uint64_t state = 7;
    for (int k = 0; k < 100'000; ++k) {  // once 2.1 GB and 12.7 s
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        random += "ACGU"[(state >> 33) % 4];
    }
    dir.addSequence("b_random.fasta", random + "\n");
    dir.addSequence("c_good.fasta", GOOD_SEQUENCE);
    writeFile(dir.root / ".stdin", "\n\n\n\n");
    const char* bin = std::getenv("KORVANE_BIN");
    const std::string binary = bin ? bin : std::string(KORVANE_BINARY_DIR) + "/korvane";
    constexpr int LIMIT_KB = 400'000;
    const std::string command = "cd '" + dir.root.string() + "' && ulimit -v " + std::to_string(LIMIT_KB) +
                                " && timeout 60 '" + binary + "' < .stdin > .stdout 2> .stderr";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    const std::string err = korvane::testing::readFile(dir.root / ".stderr");
    for (const char* name : {"a_repeats", "b_random"})
        EXPECT_NE(err.find(std::string("./sequences/") + name + ".fasta: invalid: the stems overflow the stem pool"),
                  std::string::npos)
            << err;
    EXPECT_TRUE(hasOutputs(dir, "c_good"));
}

}  // namespace
