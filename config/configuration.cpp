// Reading the configuration file.
#include "config/configuration.hpp"

#include <string>
#include <vector>

#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"
#include "runtime/file_system.hpp"
#include "runtime/numbers.hpp"
#include "platform/platform.hpp"
#include "runtime/text_helpers.hpp"
#include "runtime/text_reader.hpp"

Program LocateProgram(std::string_view programPath) {
    const std::size_t slash = programPath.rfind('\\');
    // A path without any "\" is all file name, in the current folder.
    const std::string_view fileName = slash == std::string_view::npos ? programPath : programPath.substr(slash + 1);
    const std::string_view folder = slash == std::string_view::npos ? std::string_view(".") : programPath.substr(0, slash);
    Program program;
    program.ProgramDir = BoundedString(folder);
    program.ConfigName = Join(fileName.substr(0, fileName.find('.')), ".CFG");
    return program;
}

bool IsConfigurationOption(std::string_view argument) {
    return FindText("/c:", argument) > 0 || FindText("/C:", argument) > 0;
}

BoundedString OptionFileName(std::string_view argument) { return CopyText(argument, 4, 255); }

namespace {

// The configuration file a run reads: the one named, or the first found.
BoundedString ChooseConfigFile(std::string_view named, const Program& program) {
    if (!named.empty()) {
        if (!FileExists(named)) StopRunNaming(text::kUnableToOpen, named);
        return BoundedString(named);
    }
    // Beside the program first, then where an installation keeps it (asked
    // only then); in each folder the program's own name first.
    std::vector<std::string> folders = {program.ProgramDir.Str()};
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const BoundedString own = Join(folders[i], "\\", program.ConfigName.View());
        if (FileExists(own.View())) return own;
        const BoundedString common = Join(folders[i], "\\tolvex.cfg");
        if (FileExists(common.View())) return common;
        if (i == 0) for (const std::string& folder : platform::ConfigurationFolders()) folders.push_back(folder);
    }
    StopRunNaming(text::kUnableToOpen, "tolvex.cfg");
}

// The keywords, each with the blank that must follow it, in the order they
// are tried.
constexpr std::string_view kLog = "LOG ";
constexpr std::string_view kDefaultNet = "DEFAULTNET ";
constexpr std::string_view kDefaultNode = "DEFAULTNODE ";
constexpr std::string_view kOutbound = "OUTBOUND ";
constexpr std::string_view kDefaultOutbound = "DEFAULTOUTBOUND ";
constexpr std::string_view kCheckDupes = "CHECKDUPES ";
constexpr std::string_view kCreateClo = "CREATECLO ";
constexpr std::string_view kZone = "ZONE ";

// A keyword's value: the line without as many characters as the keyword and
// its blank have, whatever those characters are (the keyword may stand
// further in).
BoundedString ValueAfter(BoundedString line, std::string_view keyword) {
    DeleteText(line, 1, static_cast<int>(keyword.size()));
    return line;
}

void AddZone(const BoundedString& value, Settings& settings) {
    if (static_cast<int>(settings.ZoneTable.size()) == kZoneCapacity) StopRun(text::kTooManyZones);
    ZoneEntry entry;
    const std::string_view v = value.View();
    const std::size_t blank = v.find(' ');
    entry.ZoneNumber = v.substr(0, blank);
    if (blank != std::string_view::npos) entry.ZoneDir = v.substr(blank + 1);
    settings.ZoneTable.push_back(entry);
}

}  // namespace

bool ApplyConfigLine(BoundedString line, Settings& settings, ActivityLog& log) {
    if (!line.Empty() && line.First() == ';') return true;
    line = UpperCase(line);
    const std::string_view v = line.View();
    if (FindText("COMPLETE.", v) > 0) return false;
    if (FindText(kLog, v) > 0) {
        OpenLog(log, StripSpaces(ValueAfter(line, kLog)).View());
    } else if (FindText(kDefaultNet, v) > 0) {
        settings.DefaultNet = StripSpaces(ValueAfter(line, kDefaultNet));
    } else if (FindText(kDefaultNode, v) > 0) {
        const BoundedString node = NormalizeLine(ValueAfter(line, kDefaultNode));
        settings.DefaultNode = node;
        settings.DefaultNodeTooLong = node.Length() > settings.DefaultNode.kCapacity;
    } else if (FindText(kOutbound, v) > 0 && line.First() == 'O') {
        // Only at the start of its line: DEFAULTOUTBOUND holds it too.
        settings.Outbound = StripSpaces(ValueAfter(line, kOutbound));
        settings.OutboundSet = true;
    } else if (FindText(kDefaultOutbound, v) > 0) {
        settings.DefaultOutbound = StripSpaces(ValueAfter(line, kDefaultOutbound));
    } else if (FindText(kCheckDupes, v) > 0) {
        if (StripSpaces(ValueAfter(line, kCheckDupes)) == "YES") settings.CheckDupes = true;
    } else if (FindText(kCreateClo, v) > 0) {
        if (StripSpaces(ValueAfter(line, kCreateClo)) == "YES") settings.CreateClo = true;
    } else if (FindText(kZone, v) > 0) {
        AddZone(NormalizeLine(ValueAfter(line, kZone)), settings);
    }
    return true;
}

Settings LoadConfiguration(std::string_view named, const Program& program, ActivityLog& log) {
    Settings settings;
    const BoundedString path = ChooseConfigFile(named, program);
    settings.ConfigPath = path;
    TextReader config(path.View());
    TextReader::Encoding encoding = TextReader::Encoding::Bytes;
    int error = config.Open();
    if (error == 0) error = config.DecideEncoding(encoding);
    if (encoding == TextReader::Encoding::Utf16) StopRunNaming(text::kUtf16Before, path.View(), text::kUtf16After);
    for (int number = 1; error == 0; ++number) {
        BoundedString line;
        bool end = false;
        if ((error = config.ReadLine(line, end)) != 0 || end) break;
        // A value with a character the code page cannot hold would name
        // another folder; a comment may hold anything. The line's number
        // tells the sysop which one to mend.
        const bool comment = !line.Empty() && line.First() == ';';
        if (config.LineLostCharacters() && !comment) {
            const std::string where = std::string(text::kNotInCodePageLine) + IntToText(number);
            StopRunNaming(text::kNotInCodePageBefore, path.View(), where + std::string(text::kNotInCodePageAfter));
        }
        if (!ApplyConfigLine(line, settings, log)) break;
    }
    config.Close();
    // A configuration that could not be read to its end would run the job on
    // half its settings.
    if (error != 0) StopRunNaming(text::kUnableToOpen, path.View());
    // Cut to its 30 characters, the value would name other nodes.
    if (settings.DefaultNodeTooLong) StopRun(text::kDefaultNodeTooLong);
    if (!settings.Outbound.Empty() && settings.Outbound.Last() == '\\')
        DeleteText(settings.Outbound, settings.Outbound.Length(), 1);
    return settings;
}

void CheckDefaultNode(const std::vector<BoundedString>& items, const Settings& settings) {
    if (items.size() == 1 && !(items.front() == "/") && settings.DefaultNode.Empty()) StopRun(text::kNoDefaultNode);
}
