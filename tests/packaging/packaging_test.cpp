// What a sysop gets: the README's example is what the program really prints
// and leaves behind; the manual's examples work as printed, under sh on Linux
// and in cmd on Windows; a link on the PATH finds the configuration beside the
// real program; `cmake --install`, the Debian package and the Windows ZIP put
// a program that runs, its manual and its sample configuration where they
// belong, and each sample does the job as shipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/console_bytes.hpp"
#include "support/process.hpp"
#include "support/scratch.hpp"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }
std::string Source(const std::string& relative) { return std::string(TOLVEX_SOURCE_DIR) + "/" + relative; }

const std::string kLinuxSample = "examples/linux/tolvex.cfg";
const std::string kWindowsSample = "examples/windows/tolvex.cfg";

// A sample configuration with its OUTBOUND and LOG lines pointed elsewhere,
// as the build makes its demo configuration.
std::string SampleConfiguration(const std::string& sample, const std::string& outbound, const std::string& log) {
    std::string text = ReadFile(Source(sample));
    text = std::regex_replace(text, std::regex("\nOUTBOUND [^\r\n]*"), "\nOUTBOUND " + outbound);
    return std::regex_replace(text, std::regex("\nLOG [^\r\n]*"), "\nLOG " + log);
}

// The job a sample must do as shipped, its OUTBOUND and LOG moved into
// `dir`: a flow file beside each request file (CREATECLO is on), another
// zone's requests beside the main zone's folder (the ZONE line is only an
// example), a log line per request. `out` is the main zone's folder as the
// system spells it.
void ExpectSampleJob(const ScratchDir& dir, const std::string& command, const std::string& out) {
    const RunResult job = RunShell("cd " + Quoted(dir.Path()) + " && " + command + " pntlist.zip /36 3:45/6 2>/dev/null");
    EXPECT_EQ(job.out, Finished({" pntlist.zip -> 2:4600/36.0", " pntlist.zip -> 3:45/6.0"}));
    for (const std::string file : {"/11f80024.req", "/11f80024.clo", ".003/002d0006.req", ".003/002d0006.clo"})
        EXPECT_TRUE(dir.Exists("fido/" + out + file)) << out + file;
    EXPECT_EQ(dir.Read("fido/" + out + "/11f80024.req"), "pntlist.zip\r\n");
    const std::string log = dir.Read(dir.Exists("fido/TOLVEX.LOG") ? "fido/TOLVEX.LOG" : "fido/tolvex.log");
    EXPECT_EQ(CrlfLines(log).size(), 2u) << log;
}

void CopyProgram(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

// ---- The README's example ---------------------------------------------

// The lines of the fenced block that follows `marker` in the README.
std::vector<std::string> ReadmeBlock(const std::string& readme, const std::string& marker) {
    std::vector<std::string> lines;
    std::size_t at = readme.find(marker);
    if (at == std::string::npos) return lines;
    at = readme.find("```", at);
    at = readme.find('\n', at) + 1;
    const std::size_t end = readme.find("\n```", at - 1);
    std::string block = readme.substr(at, end - at + 1);
    for (std::size_t start = 0; start < block.size();) {
        const std::size_t newline = block.find('\n', start);
        lines.push_back(block.substr(start, newline - start));
        start = newline + 1;
    }
    return lines;
}

struct TreeEntry {
    std::string path;  // relative to the tree's root; folders end in "/"
    std::string note;  // what the README says of the file
};

// An outbound tree as the README draws it: a root line, then one line per
// entry, indented by four columns per level with the drawing characters.
std::vector<TreeEntry> ParseTree(const std::vector<std::string>& lines) {
    std::vector<TreeEntry> entries;
    std::vector<std::string> folders;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::size_t at = 0;
        int columns = 0;
        while (at < line.size()) {
            const auto c = static_cast<unsigned char>(line[at]);
            if (c == ' ') {
                ++at, ++columns;
            } else if (c == 0xE2) {  // the box-drawing characters: three bytes, one column
                at += 3, ++columns;
            } else {
                break;
            }
        }
        const std::size_t depth = static_cast<std::size_t>(columns / 4 - 1);
        const std::size_t blank = line.find(' ', at);
        const std::string name = line.substr(at, blank - at);
        const std::size_t note = blank == std::string::npos ? std::string::npos : line.find_first_not_of(' ', blank);
        folders.resize(depth);
        std::string path;
        for (const std::string& folder : folders) path += folder;
        entries.push_back({path + name, note == std::string::npos ? "" : line.substr(note)});
        if (name.back() == '/') folders.push_back(name);
    }
    return entries;
}

// A file matches the README's note about it: "empty..." for an empty file,
// else its one line, where a log line's leading date and time are any.
void ExpectFileAsNoted(const std::string& file, const std::string& note) {
    const std::string bytes = ReadFile(file);
    if (note.rfind("empty", 0) == 0) {
        EXPECT_EQ(bytes, "") << file;
        return;
    }
    const std::regex stamped(R"(^\d\d/\d\d \d\d:\d\d:\d\d (.*)$)");
    std::smatch parts;
    if (std::regex_match(note, parts, stamped)) {
        const std::regex line(R"(\d\d/\d\d \d\d:\d\d:\d\d )" + std::regex_replace(parts[1].str(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + "\r\n");
        EXPECT_TRUE(std::regex_match(bytes, line)) << file << " holds: " << bytes;
    } else {
        EXPECT_EQ(bytes, note + "\r\n") << file;
    }
}

TEST(Readme, ExampleIsTheRealOutputOfItsCommand) {
    const std::string readme = ReadFile(Source("README.md"));
    ASSERT_NE(readme.find("build/tolvex pntlist.zip /36"), std::string::npos) << "the README's main job has changed";

    // build/tolvex and its demo configuration, made afresh in a scratch folder.
    ScratchDir dir;
    const std::string outbound = dir.At("build/demo/fido");
    fs::create_directories(outbound);
    CopyProgram(TOLVEX_POSIX_PROGRAM, dir.At("build/tolvex"));
    dir.Write("build/tolvex.cfg", SampleConfiguration(kLinuxSample, outbound, outbound + "/tolvex.log"));
    const RunResult run = RunShell("cd " + Quoted(dir.Path()) + " && build/tolvex pntlist.zip /36");
    EXPECT_EQ(run.exitCode, 0);

    const std::vector<std::string> console = ReadmeBlock(readme, "<!-- example: console -->");
    ASSERT_FALSE(console.empty()) << "no console block after <!-- example: console --> in the README";
    EXPECT_EQ(run.out, CrlfJoined(console)) << "the README's console block is not what build/tolvex pntlist.zip /36 prints";

    const std::vector<std::string> tree = ReadmeBlock(readme, "<!-- example: outbound -->");
    ASSERT_FALSE(tree.empty()) << "no outbound block after <!-- example: outbound --> in the README";
    EXPECT_EQ(tree.front(), "build/demo/fido/");
    std::vector<std::string> drawn;
    for (const TreeEntry& entry : ParseTree(tree)) {
        drawn.push_back(entry.path);
        if (entry.path.back() != '/') ExpectFileAsNoted(outbound + "/" + entry.path, entry.note);
    }
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn, TreeBelow(outbound)) << "the README's outbound tree is not what the run leaves behind";
}

// ---- The manual's examples ---------------------------------------------

// The example blocks of a rendered page's EXAMPLES section: the lines set
// deeper than the section's text, without that indent, a string per block.
std::vector<std::string> Examples(const std::string& page) {
    std::vector<std::string> blocks;
    const std::size_t section = page.find("\nEXAMPLES\n");
    const std::string indent(11, ' ');
    bool inBlock = false;
    for (std::size_t at = section == std::string::npos ? page.size() : section + 10; at < page.size();) {
        const std::size_t end = std::min(page.find('\n', at), page.size());
        const std::string line = page.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line[0] != ' ') break;  // the next section
        const bool example = line.rfind(indent, 0) == 0;
        if (example && !inBlock) blocks.emplace_back();
        if (example) blocks.back() += line.substr(indent.size()) + "\n";
        inBlock = example;
    }
    return blocks;
}

std::string LinuxPage() { return RunShell("groff -man -Tutf8 -P-cbou -rHY=0 " + Quoted(TOLVEX_MANUAL)).out; }

struct ExampleOutcome {
    std::string out;                           // what it printed, with LF line ends
    std::map<std::string, std::string> files;  // the outbound's files, named in lower case
};

// Runs an example as a sysop types it: tolvex on the PATH with its
// configuration beside it, run in a folder holding the files the examples
// name, with the prompt mode's two answers waiting on standard input.
ExampleOutcome RunExample(const std::string& example, bool windows) {
    ScratchDir dir;
    CopyProgram(windows ? TOLVEX_WIN32_PROGRAM : TOLVEX_POSIX_PROGRAM, dir.At(windows ? "prog/tolvex.exe" : "prog/tolvex"));
    fs::create_directories(dir.At("fido"));
    const std::string configuration =
        Crlf({"OUTBOUND " + (windows ? WinePath(dir.At("fido")) : dir.At("fido")), "DEFAULTOUTBOUND OUT",
              "DEFAULTNET 2:4600", "DEFAULTNODE 12", "CREATECLO YES"});
    dir.Write("prog/tolvex.cfg", configuration);
    dir.Write("work/other.cfg", configuration);
    dir.Write("work/want.txt", Crlf({"nodelist.zip", "nodediff.a??"}));
    dir.Write("work/lists/want.txt", Crlf({"pointlst.zip"}));
    dir.Write("work/answers.txt", "pntlist.zip\n/36\n");
    std::string command = "cd " + Quoted(dir.At("work")) + " && ";
    if (windows) {
        dir.Write("work/example.bat", "@echo off\r\n" + std::regex_replace(example, std::regex("\n"), "\r\n"));
        command += "WINEDEBUG=-all WINEPATH=" + Quoted(WinePath(dir.At("prog"))) + " wine cmd /c example.bat";
    } else {
        dir.Write("work/example.sh", example);
        command += "PATH=" + Quoted(dir.At("prog")) + ":\"$PATH\" sh example.sh";
    }
    ExampleOutcome outcome;
    outcome.out = std::regex_replace(RunShell(command + " <answers.txt 2>/dev/null").out, std::regex("\r\n"), "\n");
    for (const auto& entry : fs::recursive_directory_iterator(dir.At("fido")))
        if (entry.is_regular_file()) {
            std::string name = fs::relative(entry.path(), dir.At("fido")).string();
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            outcome.files[name] = ReadFile(entry.path().string());
        }
    return outcome;
}

// An example did its job: the last line it printed says so, and every
// request it wrote is a name without quotes.
void ExpectExampleDoesItsJob(const ExampleOutcome& ran, const std::string& example) {
    const std::size_t last = ran.out.rfind('\n', ran.out.size() - std::min<std::size_t>(ran.out.size(), 2));
    const std::string lastLine = ran.out.substr(last == std::string::npos ? 0 : last + 1);
    EXPECT_TRUE(lastLine == std::string(text::kGoodbye) + "\n" || lastLine == "requested\n") << example << "printed:\n" << ran.out;
    int requests = 0;
    for (const auto& [name, bytes] : ran.files) {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".req") continue;
        ++requests;
        EXPECT_EQ(bytes.find_first_of("'\""), std::string::npos) << example << name << " holds:\n" << bytes;
    }
    EXPECT_GT(requests, 0) << example << "wrote no request";
}

// Each example of the Linux page, run under sh as the page shows it.
TEST(Manual, LinuxExamplesWorkUnderShAsPrinted) {
    TOLVEX_NEED(OnPath("groff"), "groff");
    const std::vector<std::string> examples = Examples(LinuxPage());
    ASSERT_GE(examples.size(), 7u) << "the EXAMPLES section of " << TOLVEX_MANUAL;
    for (const std::string& example : examples) ExpectExampleDoesItsJob(RunExample(example, false), example);
}

// Each example of the Windows text, run in cmd under wine as tolvex.txt shows
// it, does its job, and the same as its Linux counterpart.
TEST(Manual, WindowsExamplesWorkInCmdAsPrinted) {
    TOLVEX_NEED(!std::string_view(TOLVEX_MANUAL_TEXT).empty() && OnPath("groff"), "groff");
    TOLVEX_NEED(!std::string_view(TOLVEX_WIN32_PROGRAM).empty(), "the Windows program (mingw-w64)");
    TOLVEX_NEED(OnPath("wine"), "wine");
    const std::vector<std::string> examples = Examples(ReadFile(TOLVEX_MANUAL_TEXT));
    const std::vector<std::string> linux = Examples(LinuxPage());
    ASSERT_EQ(examples.size(), linux.size()) << "tolvex.txt and the Linux page show different numbers of examples";
    int batchFiles = 0;
    for (std::size_t i = 0; i < examples.size(); ++i) {
        const ExampleOutcome ran = RunExample(examples[i], true);
        ExpectExampleDoesItsJob(ran, examples[i]);
        const ExampleOutcome there = RunExample(linux[i], false);
        EXPECT_EQ(ran.out, there.out) << examples[i];
        EXPECT_EQ(ran.files, there.files) << examples[i];
        // The batch-file example works the same in a batch file that turned
        // delayed expansion on, which takes "!" out of the lines it runs.
        if (examples[i].find("setlocal disabledelayedexpansion") == std::string::npos) continue;
        ++batchFiles;
        const ExampleOutcome delayed = RunExample("setlocal enabledelayedexpansion\n" + examples[i], true);
        EXPECT_EQ(delayed.out, there.out) << examples[i];
        EXPECT_EQ(delayed.files, there.files) << examples[i];
    }
    EXPECT_EQ(batchFiles, 1) << "the batch-file example does not turn delayed expansion off around the call";
}

// ---- Keeping program and configuration together ------------------------

// The program kept in the FidoNet folder with its configuration, reached
// through links elsewhere, under any name, and run from anywhere.
TEST(Install, ALinkOnThePathFindsTheConfigurationBesideTheRealProgram) {
    ScratchDir dir;
    const std::string fido = dir.At("fido");
    CopyProgram(TOLVEX_POSIX_PROGRAM, fido + "/tolvex");
    fs::create_directories(fido + "/outbound");
    dir.Write("fido/tolvex.cfg", Crlf({"OUTBOUND " + fido + "/outbound", "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600",
                                       "DEFAULTNODE 12"}));
    fs::create_directories(dir.At("bin"));
    fs::create_directories(dir.At("elsewhere"));
    fs::create_symlink(fido + "/tolvex", dir.At("bin/tolvex"));
    fs::create_symlink(dir.At("bin/tolvex"), dir.At("bin/freq"));  // a link to the link, named otherwise

    for (const std::string link : {"bin/tolvex", "bin/freq"}) {
        const RunResult run = RunShell("cd " + Quoted(dir.At("elsewhere")) + " && " + Quoted(dir.At(link)) + " pntlist.zip /36");
        EXPECT_EQ(run.out, Finished({" pntlist.zip -> 2:4600/36.0"})) << link;
    }
    EXPECT_EQ(dir.Read("fido/outbound/out/11f80024.req"), Crlf({"pntlist.zip", "pntlist.zip"}));

    // A copy in bin/ is a program of its own, with no configuration beside it.
    CopyProgram(TOLVEX_POSIX_PROGRAM, dir.At("copy/tolvex"));
    const RunResult copy = RunShell("cd " + Quoted(dir.At("elsewhere")) + " && " + Quoted(dir.At("copy/tolvex")) + " pntlist.zip /36");
    EXPECT_EQ(copy.out, Console({" Error! Unable to open tolvex.cfg"}));
}

// ---- The mailer ----------------------------------------------------------

// The sample, and the README, name the outbound of Debian's binkd package:
// the binkd line they quote is the one its binkd.cfg ships, and OUTBOUND with
// DEFAULTOUTBOUND (created in lower case) is that line's outbound.
TEST(Install, SampleMeetsDebiansBinkdPackage) {
    TOLVEX_NEED(RunShell("dpkg-query -W binkd >/dev/null 2>&1").exitCode == 0, "binkd");
    if (RunShell("dpkg --verify binkd 2>/dev/null").out.find("/etc/binkd/binkd.cfg") != std::string::npos)
        GTEST_SKIP() << "/etc/binkd/binkd.cfg is not as the package ships it";
    const std::string shipped = ReadFile("/etc/binkd/binkd.cfg");
    std::smatch domain;
    ASSERT_TRUE(std::regex_search(shipped, domain, std::regex("\ndomain fidonet (/[^ \n]+) 2\n"))) << shipped;
    const std::string outbound = domain[1].str();
    const std::string sample = ReadFile(Source(kLinuxSample));
    EXPECT_NE(sample.find(";   domain fidonet " + outbound + " 2\n"), std::string::npos) << outbound;
    EXPECT_NE(ReadFile(Source("README.md")).find("\ndomain fidonet " + outbound + " 2 "), std::string::npos) << outbound;
    std::smatch above, folder;
    ASSERT_TRUE(std::regex_search(sample, above, std::regex("\nOUTBOUND ([^\n]+)\n")));
    ASSERT_TRUE(std::regex_search(sample, folder, std::regex("\nDEFAULTOUTBOUND ([^\n]+)\n")));
    std::string created = folder[1].str();
    std::transform(created.begin(), created.end(), created.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(above[1].str() + "/" + created, outbound);
}

// ---- cmake --install ---------------------------------------------------

TEST(Install, CmakeInstallPutsEachFileWhereASysopLooks) {
    ScratchDir dir;
    const std::string prefix = dir.At("usr");
    const RunResult install = RunShell(Quoted(TOLVEX_CMAKE) + " --install " + Quoted(TOLVEX_BUILD_DIR) + " --prefix " +
                              Quoted(prefix) + " >/dev/null");
    ASSERT_EQ(install.exitCode, 0);

    for (const char* file : {"bin/tolvex", "share/man/man1/tolvex.1.gz", "share/doc/tolvex/README.md",
                             "share/doc/tolvex/copyright", "share/doc/tolvex/changelog.gz",
                             "share/doc/tolvex/examples/tolvex.cfg"})
        EXPECT_TRUE(dir.Exists(std::string("usr/") + file)) << file;
    EXPECT_EQ(dir.Read("usr/share/doc/tolvex/examples/tolvex.cfg"), ReadFile(Source(kLinuxSample)));
    // The sample in the prefix's configuration folder; one a sysop edited
    // there stays as it is when the program is installed again.
    EXPECT_EQ(dir.Read("usr/etc/tolvex.cfg"), ReadFile(Source(kLinuxSample)));
    dir.Write("usr/etc/tolvex.cfg", "OUTBOUND /srv/fido\n");
    ASSERT_EQ(RunShell(Quoted(TOLVEX_CMAKE) + " --install " + Quoted(TOLVEX_BUILD_DIR) + " --prefix " + Quoted(prefix) +
                       " >/dev/null").exitCode, 0);
    EXPECT_EQ(dir.Read("usr/etc/tolvex.cfg"), "OUTBOUND /srv/fido\n");

    // The manual carries the build's version and date.
    const RunResult manual = RunShell("gzip -dc " + Quoted(prefix + "/share/man/man1/tolvex.1.gz"));
    EXPECT_NE(manual.out.find(std::string(".TH TOLVEX 1 \"") + TOLVEX_RELEASE_DATE + "\" \"tolvex " + TOLVEX_VERSION + "\""),
              std::string::npos);

    // The installed program runs; outside the prefix it was built for it is a
    // copy, and beside it there is no configuration.
    EXPECT_EQ(RunShell(Quoted(prefix + "/bin/tolvex")).out, Usage());
    EXPECT_EQ(RunShell(Quoted(prefix + "/bin/tolvex") + " pntlist.zip").out,
              Console({" Error! Unable to open tolvex.cfg"}));

    // Where it was built to be installed (/usr/local/bin), in a mount namespace
    // of the case's own, it does the job of the configuration in the prefix's
    // configuration folder.
    const std::string built = TOLVEX_INSTALL_PREFIX;
    if (std::string(TOLVEX_INSTALL_SYSCONFDIR) != built + "/etc") GTEST_SKIP() << "built for " << built;
    TOLVEX_NEED(NamespacesAvailable(), "root with unshare (util-linux)");
    fs::create_directories(dir.At("fido"));
    dir.Write("usr/etc/tolvex.cfg", Crlf({"OUTBOUND " + dir.At("fido"), "DEFAULTOUTBOUND OUTB", "DEFAULTNET 2:4600"}));
    const RunResult job = RunInNamespace({PlantMount(prefix, built)}, "cd / && " + Quoted(built + "/bin/tolvex") + " pntlist.zip /36");
    EXPECT_EQ(job.out, Finished({" pntlist.zip -> 2:4600/36.0"}));
    EXPECT_EQ(dir.Read("fido/outb/11f80024.req"), "pntlist.zip\r\n");
}

// ---- The Windows program -----------------------------------------------

// Its manifest: run as invoked (never elevated, never redirected to a
// VirtualStore), on the Windows versions it names, up to 10 and 11.
TEST(Windows, ProgramCarriesItsManifest) {
    TOLVEX_NEED(!std::string_view(TOLVEX_WIN32_PROGRAM).empty(), "the Windows program (mingw-w64)");
    TOLVEX_NEED(OnPath("i686-w64-mingw32-windres"), "i686-w64-mingw32-windres");
    const std::string resources = RunShell("i686-w64-mingw32-windres -O rc -i " + Quoted(TOLVEX_WIN32_PROGRAM)).out;
    EXPECT_NE(resources.find("1 24 /* RT_MANIFEST */"), std::string::npos) << resources;
    EXPECT_NE(resources.find("<requestedExecutionLevel level=\"\"asInvoker\"\""), std::string::npos) << resources;
    EXPECT_NE(resources.find("<supportedOS Id=\"\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"\"/>"), std::string::npos)
        << resources;
}

// ---- The packages ------------------------------------------------------

// The package's files, extracted into `root`, shown over the machine's /etc
// and /usr/bin, with /var/spool and /var/log empty: the machine's own folders
// are neither used nor written.
std::vector<std::string> PackageMounts(const ScratchDir& root) {
    return {PlantMount(root.At("etc"), "/etc"), PlantMount(root.At("usr/bin"), "/usr/bin"), EmptyMount("/var/spool"),
            EmptyMount("/var/log")};
}

// Runs a program with the items pntlist.zip /36, as nobody from "/", where the
// package is installed in a mount namespace of its own.
RunResult RunInstalled(const ScratchDir& root, const std::string& program) {
    return RunInNamespace(PackageMounts(root), "cd / && exec setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                                   Quoted(program) + " pntlist.zip /36");
}

std::vector<std::string> DebianPackages() {
    std::vector<std::string> found;
    const std::string prefix = std::string("tolvex_") + TOLVEX_VERSION + "_";
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(TOLVEX_PACKAGES_DIR, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && entry.path().extension() == ".deb") found.push_back(entry.path().string());
    }
    return found;
}

TEST(Packages, DebianPackageInstallsAndRuns) {
    TOLVEX_NEED(OnPath("dpkg") && OnPath("dpkg-deb"), "dpkg");
    const std::vector<std::string> packages = DebianPackages();
    ASSERT_EQ(packages.size(), 1u) << "expected one tolvex_" << TOLVEX_VERSION << "_*.deb in " << TOLVEX_PACKAGES_DIR;
    const std::string deb = packages.front();

    const RunResult fields = RunShell("dpkg-deb -f " + Quoted(deb) + " Package Version Depends");
    EXPECT_NE(fields.out.find("Package: tolvex\n"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find(std::string("Version: ") + TOLVEX_VERSION + "\n"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("libc6"), std::string::npos) << fields.out;

    ScratchDir root;
    ASSERT_EQ(RunShell("dpkg -x " + Quoted(deb) + " " + Quoted(root.Path())).exitCode, 0);
    const std::set<std::string> inEtc = {"etc/", "etc/tolvex.cfg", "etc/logrotate.d/", "etc/logrotate.d/tolvex"};
    for (const std::string& path : root.Tree())
        EXPECT_TRUE(path.rfind("usr", 0) == 0 || inEtc.count(path) == 1) << "a file elsewhere: " << path;
    for (const char* file : {"usr/bin/tolvex", "usr/share/man/man1/tolvex.1.gz", "usr/share/doc/tolvex/copyright",
                             "usr/share/doc/tolvex/changelog.gz", "usr/share/doc/tolvex/examples/tolvex.cfg"})
        EXPECT_TRUE(root.Exists(file)) << file;

    EXPECT_EQ(RunShell(Quoted(root.At("usr/bin/tolvex"))).out, Usage());

    // The sample as /etc/tolvex.cfg and its log's rotation, configuration
    // files of the package.
    EXPECT_EQ(root.Read("etc/tolvex.cfg"), ReadFile(Source(kLinuxSample)));
    EXPECT_EQ(root.Read("etc/logrotate.d/tolvex"), ReadFile(Source("cmake/debian/logrotate")));
    EXPECT_EQ(RunShell("dpkg-deb -I " + Quoted(deb) + " conffiles").out, "/etc/logrotate.d/tolvex\n/etc/tolvex.cfg\n");

    // The Linux sample it ships, beside the program as a sysop puts it.
    EXPECT_EQ(root.Read("usr/share/doc/tolvex/examples/tolvex.cfg"), ReadFile(Source(kLinuxSample)));
    fs::create_directories(root.At("fido"));
    root.Write("usr/bin/tolvex.cfg", SampleConfiguration(kLinuxSample, root.At("fido"), root.At("fido/tolvex.log")));
    ExpectSampleJob(root, Quoted(root.At("usr/bin/tolvex")), "outb");
}

// The maintainer scripts, run where the package is installed in a mount
// namespace of their own, on a machine without the mailer's account: the
// postinst makes the account as Debian's binkd package does (uid and gid
// 64000) and the sample's log folder, ftn:ftn 2770; the mailer's account runs
// the sample job and logs it; logrotate accepts the entry and rotates the log,
// and the next run, by a member of the group, makes a new one in the folder's
// group. Purge takes the logs, and the folder once nothing else is in it.
TEST(Packages, MaintainerScriptsMakeTheLogFolderAndPurgeTakesTheLogs) {
    TOLVEX_NEED(OnPath("dpkg") && OnPath("logrotate") && OnPath("adduser"), "dpkg, logrotate and adduser");
    TOLVEX_NEED(NamespacesAvailable() && OnPath("setpriv"), "root with unshare and setpriv (util-linux)");
    const std::vector<std::string> packages = DebianPackages();
    ASSERT_EQ(packages.size(), 1u);
    ScratchDir root;
    ASSERT_EQ(RunShell("dpkg -x " + Quoted(packages.front()) + " " + Quoted(root.Path()) + " && dpkg-deb -e " +
                       Quoted(packages.front()) + " " + Quoted(root.At("control"))).exitCode, 0);
    root.MakeDir("etc-changes");
    root.MakeDir("etc-work");
    std::vector<std::string> mounts = PackageMounts(root);
    // /etc writable, the changes kept in the scratch folder: the account is made there.
    mounts.front() = "mount -t overlay overlay -o 'lowerdir=" + root.At("etc") + ":/etc,upperdir=" +
                     root.At("etc-changes") + ",workdir=" + root.At("etc-work") + "' /etc";
    const std::string logs = "for f in /var/log/ftn/*; do echo \"$(basename $f) $(stat -c %G $f) $(cut -c16- $f | tr -d '\\r')\"; done\n";
    const RunResult run = RunInNamespace(mounts,
        "sed -i '/^ftn:/d' /etc/passwd /etc/group /etc/shadow /etc/gshadow\n"
        "sh " + root.At("control/postinst") + " configure 2>/dev/null\n"
        "echo $(id -u ftn) $(id -g ftn) $(stat -c '%U:%G %a' /var/log/ftn)\n"
        // The spool as Debian's binkd package ships it.
        "install -d -o ftn -g ftn /var/spool/ftn /var/spool/ftn/outb\n"
        "cd / && setpriv --reuid=ftn --regid=ftn --init-groups /usr/bin/tolvex pntlist.zip /36 >/dev/null\n"
        "logrotate -d -s /var/spool/state /etc/logrotate.d/tolvex >/dev/null 2>&1 && echo accepted\n"
        "logrotate -f -s /var/spool/state /etc/logrotate.d/tolvex\n"
        // The spool shared with the group, as the manual tells.
        "chmod -R g+w /var/spool/ftn && find /var/spool/ftn -type d -exec chmod g+s {} +\n"
        "setpriv --reuid=65534 --regid=65534 --groups=ftn /usr/bin/tolvex nodelist.zip /36 >/dev/null\n" + logs +
        "sh " + root.At("control/postrm") + " remove\n" + logs +
        "echo other > /var/log/ftn/other.log\n"
        "sh " + root.At("control/postrm") + " purge\n" + logs +
        "rm /var/log/ftn/other.log && sh " + root.At("control/postrm") + " purge\n"
        "test -e /var/log/ftn || echo purged");
    EXPECT_EQ(run.out,
              "64000 64000 ftn:ftn 2770\naccepted\n"
              "tolvex.log ftn nodelist.zip 2:4600/36.0\ntolvex.log.1 ftn pntlist.zip 2:4600/36.0\n"
              "tolvex.log ftn nodelist.zip 2:4600/36.0\ntolvex.log.1 ftn pntlist.zip 2:4600/36.0\n"
              "other.log ftn \npurged\n");
}

// The program as the package installs it, /usr/bin/tolvex, run as nobody
// from "/", finds the package's /etc/tolvex.cfg (whose OUTBOUND this machine
// does not have), and so does a link to it under another name; a copy of it
// elsewhere reads only what lies beside it; a configuration beside the
// installed program comes first.
TEST(Packages, InstalledProgramFindsThePackagesConfiguration) {
    TOLVEX_NEED(OnPath("dpkg"), "dpkg");
    TOLVEX_NEED(NamespacesAvailable() && OnPath("setpriv"), "root with unshare and setpriv (util-linux)");
    const std::vector<std::string> packages = DebianPackages();
    ASSERT_EQ(packages.size(), 1u);
    ScratchDir root;
    ASSERT_EQ(RunShell("dpkg -x " + Quoted(packages.front()) + " " + Quoted(root.Path())).exitCode, 0);
    const std::string sample = Console({" Cannot find directory \"/VAR/SPOOL/FTN\""});
    EXPECT_EQ(RunInstalled(root, "/usr/bin/tolvex").out, sample);
    fs::create_directories(root.At("bin"));
    fs::create_symlink("/usr/bin/tolvex", root.At("bin/uplink2"));
    EXPECT_EQ(RunInstalled(root, root.At("bin/uplink2")).out, sample);
    CopyProgram(root.At("usr/bin/tolvex"), root.At("copy/tolvex"));
    EXPECT_EQ(RunInstalled(root, root.At("copy/tolvex")).out, Console({" Error! Unable to open tolvex.cfg"}));
    root.Write("usr/bin/tolvex.cfg", Crlf({"DEFAULTNODE 12"}));
    EXPECT_EQ(RunInstalled(root, "/usr/bin/tolvex").out, Console({" Error! OUTBOUND is not set in \\usr\\bin\\tolvex.CFG"}));
}

TEST(Packages, DebianPackageIsLintianClean) {
    TOLVEX_NEED(OnPath("lintian"), "lintian");
    const std::vector<std::string> packages = DebianPackages();
    ASSERT_EQ(packages.size(), 1u);
    const RunResult lintian = RunShell("lintian --fail-on error,warning " + Quoted(packages.front()) + " 2>&1");
    EXPECT_EQ(lintian.exitCode, 0) << lintian.out;
}

TEST(Packages, WindowsZipRunsUnderWineWithTheSampleConfiguration) {
    TOLVEX_NEED(!std::string_view(TOLVEX_WIN32_ZIP).empty(), "the Windows program (mingw-w64)");
    TOLVEX_NEED(OnPath("wine"), "wine");
    const std::string zip = TOLVEX_WIN32_ZIP;

    const RunResult listing = RunShell(Quoted(TOLVEX_CMAKE) + " -E tar tf " + Quoted(zip));
    std::set<std::string> names;
    for (std::size_t start = 0; start < listing.out.size();) {
        const std::size_t newline = listing.out.find('\n', start);
        names.insert(listing.out.substr(start, newline - start));
        start = newline + 1;
    }
    EXPECT_EQ(names, (std::set<std::string>{"README.md", "tolvex.cfg", "tolvex.exe", "tolvex.txt"}));

    ScratchDir dir;
    ASSERT_EQ(RunShell("cd " + Quoted(dir.Path()) + " && " + Quoted(TOLVEX_CMAKE) + " -E tar xf " + Quoted(zip)).exitCode, 0);
    const std::string sample = ReadFile(Source(kWindowsSample));
    EXPECT_EQ(dir.Read("tolvex.cfg"), std::regex_replace(sample, std::regex("\n"), "\r\n"));
    EXPECT_EQ(dir.Read("tolvex.txt").rfind("\xEF\xBB\xBFTOLVEX(1)", 0), 0u) << "tolvex.txt: UTF-8 with its mark";
    EXPECT_NE(dir.Read("tolvex.txt").find("\r\n"), std::string::npos);

    const std::string wine = "cd " + Quoted(dir.Path()) + " && WINEDEBUG=-all wine tolvex.exe";
    EXPECT_EQ(RunShell(wine + " 2>/dev/null").out, Usage());

    // The sample as shipped, with only its outbound and log put where wine
    // finds them.
    const std::string windowsPath = WinePath(dir.At("fido"));
    fs::create_directories(dir.At("fido"));
    dir.Write("tolvex.cfg", std::regex_replace(SampleConfiguration(kWindowsSample, windowsPath, windowsPath + "\\TOLVEX.LOG"),
                                               std::regex("\n"), "\r\n"));
    ExpectSampleJob(dir, "WINEDEBUG=-all wine tolvex.exe", "OUT");
}

}  // namespace
