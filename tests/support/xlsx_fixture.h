// Test helpers for workbooks: a temporary folder, and the independent workbook tool
// (tests/support/xlsx_tool.py, run by /usr/bin/python3 with openpyxl) that makes workbooks and
// reads them back.
#pragma once

#include <map>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Runs the tool; returns its output, or throws std::runtime_error when it fails.
std::string RunXlsxTool(const std::vector<std::string>& args);

// "rich" or "handmade" (see the tool's description).
void MakeWorkbook(const std::string& kind, const std::string& path);

// Every cell as openpyxl reads it: "Sheet!B2" -> "type:value\tstyle", plus the sheet list
// ("sheets"), defined names ("name:N") and merged ranges ("merged:Sheet").
std::map<std::string, std::string> DumpWorkbook(const std::string& path);

// Part name -> digest of its bytes.
std::map<std::string, std::string> PartDigests(const std::string& path);

std::string PartText(const std::string& path, const std::string& part);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
