#pragma once
// Which fonts Photoshop can use: the machine's own fonts (read once, from font files) and the
// fonts the font manager has made active, from its system font table. Under Wine a font another
// process activates is invisible to this one, so the font manager's core keeps the table: the
// file system-font-table.txt in its configuration folder, one line per active font (PostScript
// name, TAB, font file path). The table is read again whenever a decision depends on it.

#include <set>
#include <string>
#include <vector>

class InstalledFonts
{
public:
    // Reads every file below the folders (recursively) as a font file and keeps the PostScript
    // names of the faces. Files that are no fonts are skipped; the counts say what was found.
    void ScanMachineFonts(const std::vector<std::string>& folders);
    std::size_t MachineFontCount() const { return mMachineFonts.size(); }
    std::size_t MachineFileCount() const { return mMachineFiles; }

    // Reads the table file again. A file that does not exist is an empty table (the font
    // manager has activated nothing yet); false with a reason when it exists but cannot be read.
    // An empty path (no folder configured) is an empty table too.
    bool ReadTable(const std::string& tableFile, std::string& error);
    std::size_t TableFontCount() const { return mTableFonts.size(); }

    bool IsInstalled(const std::string& postScriptName) const;
    // The names that are not installed, in the given order.
    std::vector<std::string> Missing(const std::vector<std::string>& postScriptNames) const;

private:
    std::set<std::string> mMachineFonts;
    std::size_t mMachineFiles = 0;
    std::set<std::string> mTableFonts;
};

// The names of a system font table's text: the part of each line before its TAB (or the whole
// line); empty lines are skipped.
std::set<std::string> ParseSystemFontTable(const std::string& text);
