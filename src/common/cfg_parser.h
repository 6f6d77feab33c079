// The configuration file parser: reads "name = value" lines grouped under [SECTION] headers
// and hands each assignment to the target object that the current section selects. Messages
// about bad lines go to a side log named after the file with the extension ".cfg.log".
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "common/file_reader.h"
#include "common/side_log.h"

namespace kelpa {

// Receives the assignments of one section.
class CfgTarget {
  public:
    virtual ~CfgTarget() = default;
    // `value` is the raw value text, trailing white space removed. Returns greater than 0 when
    // accepted, 0 for an unknown name, -1 when out of memory, -2 when the value is rejected;
    // other negative results are not reported.
    virtual int32_t Assign(const char* name, const char* value) = 0;
};

// The target of one menu section; [MENUn] selects the menu numbered n - 1.
class CfgMenuTarget : public CfgTarget {
  public:
    explicit CfgMenuTarget(int32_t menuNumber) : menuNumber_(menuNumber) {}
    int32_t MenuNumber() const { return menuNumber_; }

  private:
    int32_t menuNumber_;
};

// The objects that section headers choose among. A target may be null; its assignments are
// then dropped.
class CfgRoot {
  public:
    virtual ~CfgRoot() = default;
    virtual CfgTarget* ToolBarTarget() = 0;
    virtual CfgTarget* ControlsTarget() = 0;
    virtual std::span<CfgMenuTarget* const> MenuTargets() = 0;
};

class CfgParser final : public FileReader {
  public:
    // Parsing stops, successfully, after this many lines.
    static constexpr int32_t kMaxLines = 0x100000;

    // Without a root, section headers are only checked and assignments are dropped unread.
    explicit CfgParser(CfgRoot* root = nullptr) : root_(root) {}

    CfgTarget* CurrentTarget() const { return target_; }

  protected:
    bool ParseLines() override;

  private:
    // One line as cut for parsing (terminated behind its last character that is not white
    // space); `start` is its first character that is not white space.
    struct Line {
        char* text;
        size_t start;
        int32_t number;
    };

    bool ParseLine(char* text, size_t length, int32_t number);
    bool ParseSection(const Line& line);
    void SelectTarget(std::string_view name, const Line& line);
    void ParseAssignment(const Line& line);
    void ReportResult(int32_t result, const Line& line, const char* name, const char* value);

    CfgTarget* target_ = nullptr;
    SideLog sideLog_;
    CfgRoot* root_ = nullptr;
};

// Parses directory/name. The first form has no root (the common file); the second hands the
// assignments to the root's targets. Return true when the file was parsed to its end; a file
// that cannot be opened is not parsed and reported nowhere.
bool LoadConfig(const char* directory, const char* name);
bool LoadConfig(CfgRoot* root, const char* directory, const char* name);

}  // namespace kelpa
