// The configuration file: finding it, reading its keyword lines into the
// settings, and the check that a default node is set when one is needed.
#pragma once

#include <vector>

#include "runtime/activity_log.hpp"
#include "runtime/bounded.hpp"

// Where the program lives, which says where its configuration is looked for.
struct Program {
    BoundedString ProgramDir;  // the program file's folder, without a trailing "\"
    BoundedString ConfigName;  // the configuration file looked for first
};

// ProgramDir and ConfigName of a program file's full path.
Program LocateProgram(std::string_view programPath);

// The configuration option: a first argument that holds "/c:" or "/C:"
// anywhere; the file it names is the argument from its fourth character on.
bool IsConfigurationOption(std::string_view argument);
BoundedString OptionFileName(std::string_view argument);

struct ZoneEntry {
    Bounded<4> ZoneNumber;  // the zone number as text
    Bounded<20> ZoneDir;    // the stem of that zone's outbound folder
};

inline constexpr int kZoneCapacity = 20;

struct Settings {
    BoundedString ConfigPath;  // the configuration file as opened
    BoundedString DefaultNet;
    Bounded<30> DefaultNode;
    bool DefaultNodeTooLong = false;  // the last DEFAULTNODE value did not fit its 30 characters
    BoundedString Outbound;
    bool OutboundSet = false;  // an OUTBOUND line was read, even one with an empty value
    BoundedString DefaultOutbound;
    bool CheckDupes = false;
    bool CreateClo = false;
    std::vector<ZoneEntry> ZoneTable;  // in file order, at most kZoneCapacity
};

// Finds and reads the configuration file; a LOG line opens the log. Stops
// with " Error! Unable to open " + name, a file saved as UTF-16, a value the
// ANSI code page cannot hold, and after the reading when DEFAULTNODE is
// longer than its 30 characters.
// `named`: the file the configuration option names; empty: the file is
// looked for beside the program.
Settings LoadConfiguration(std::string_view named, const Program& program, ActivityLog& log);

// Takes one line as read from the file. Returns false at the line that ends
// the reading ("COMPLETE.").
bool ApplyConfigLine(BoundedString line, Settings& settings, ActivityLog& log);

// With exactly one item, other than "/", DEFAULTNODE must be set.
void CheckDefaultNode(const std::vector<BoundedString>& items, const Settings& settings);
