#include "support/xlsx_fixture.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace {

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char ch : text)
        out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
}

std::map<std::string, std::string> Lines(const std::string& text) {
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        out[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    return out;
}

} // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pondra-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::string RunXlsxTool(const std::vector<std::string>& args) {
    std::string command = "/usr/bin/python3 " + ShellQuote(PONDRA_XLSX_TOOL);
    for (const std::string& arg : args)
        command += " " + ShellQuote(arg);
    command += " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string output;
    std::array<char, 4096> buffer;
    while (const std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    if (pclose(pipe) != 0)
        throw std::runtime_error("xlsx_tool.py failed: " + output);
    return output;
}

void MakeWorkbook(const std::string& kind, const std::string& path) {
    RunXlsxTool({kind, path});
}

std::map<std::string, std::string> DumpWorkbook(const std::string& path) {
    return Lines(RunXlsxTool({"dump", path}));
}

std::map<std::string, std::string> PartDigests(const std::string& path) {
    return Lines(RunXlsxTool({"parts", path}));
}

std::string PartText(const std::string& path, const std::string& part) {
    return RunXlsxTool({"part", path, part});
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
