// What a shared library offers and needs, read from its file: the exported functions and
// the libraries it imports, for the formats the plugin is built in (64-bit ELF on Linux, PE32
// DLL on 32-bit Windows, PE32+ DLL on 64-bit Windows). Parsed by hand so that either format can be
// read on any platform.
#ifndef PYX_MISSIONS_LIBRARY_EXPORTS_TEST_SUPPORT_H_
#define PYX_MISSIONS_LIBRARY_EXPORTS_TEST_SUPPORT_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace Vane::testing {

struct LibraryExports {
    std::string error;                      // empty when the file was read
    std::string format;                     // "ELF64", "PE32 i386 DLL" or "PE32+ x86-64 DLL"
    std::vector<std::string> functions;     // exported functions
    std::vector<std::string> otherExports;  // exported symbols that are not functions
    std::vector<std::string> imports;  // imported libraries (PE; ELF's needed list is not read)
};

namespace library_exports_detail {

class Bytes {
  public:
    explicit Bytes(std::vector<char> bytes) : bytes_(std::move(bytes)) {}
    size_t size() const { return bytes_.size(); }
    bool Has(uint64_t offset, uint64_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    // Little-endian unsigned integer of `width` bytes at offset; 0 past the end.
    uint64_t Read(uint64_t offset, int width) const {
        if (!Has(offset, static_cast<uint64_t>(width))) return 0;
        uint64_t value = 0;
        for (int i = width - 1; i >= 0; --i) {
            value = value << 8 | static_cast<unsigned char>(bytes_[offset + i]);
        }
        return value;
    }
    // The NUL-terminated text at offset (cut at the end of the file).
    std::string Text(uint64_t offset) const {
        std::string text;
        while (offset < bytes_.size() && bytes_[offset] != '\0') text += bytes_[offset++];
        return text;
    }
    bool StartsWith(const char* magic, size_t count) const {
        return bytes_.size() >= count && std::memcmp(bytes_.data(), magic, count) == 0;
    }

  private:
    std::vector<char> bytes_;
};

// Defined global and weak symbols of the dynamic symbol table.
inline void ReadElf64(const Bytes& file, LibraryExports& out) {
    constexpr uint32_t kDynamicSymbols = 11;  // SHT_DYNSYM
    constexpr unsigned kGlobal = 1, kWeak = 2, kFunction = 2;
    if (file.Read(4, 1) != 2) {
        out.error = "not a 64-bit ELF file";
        return;
    }
    out.format = "ELF64";
    const uint64_t sectionTable = file.Read(0x28, 8);
    const uint64_t sectionSize = file.Read(0x3A, 2);
    const uint64_t sectionCount = file.Read(0x3C, 2);
    for (uint64_t i = 0; i < sectionCount; ++i) {
        const uint64_t section = sectionTable + i * sectionSize;
        if (!file.Has(section, 64) || file.Read(section + 4, 4) != kDynamicSymbols) continue;
        const uint64_t symbols = file.Read(section + 24, 8);
        const uint64_t symbolsSize = file.Read(section + 32, 8);
        const uint64_t strings =
            file.Read(sectionTable + file.Read(section + 40, 4) * sectionSize + 24, 8);
        for (uint64_t offset = 0; offset + 24 <= symbolsSize; offset += 24) {
            const uint64_t symbol = symbols + offset;
            const unsigned info = static_cast<unsigned>(file.Read(symbol + 4, 1));
            const unsigned binding = info >> 4, type = info & 0xF;
            if (file.Read(symbol + 6, 2) == 0 || (binding != kGlobal && binding != kWeak)) continue;
            std::string name = file.Text(strings + file.Read(symbol, 4));
            (type == kFunction ? out.functions : out.otherExports).push_back(std::move(name));
        }
    }
}

// The export directory's names and the import directory's library names of a PE32 or PE32+
// DLL.
inline void ReadPe(const Bytes& file, LibraryExports& out) {
    const uint64_t pe = file.Read(0x3C, 4);
    if (file.Read(pe, 4) != 0x00004550) {  // "PE\0\0"
        out.error = "no PE header";
        return;
    }
    const uint64_t machine = file.Read(pe + 4, 2);
    const uint64_t sectionCount = file.Read(pe + 6, 2);
    const uint64_t optionalSize = file.Read(pe + 20, 2);
    const uint64_t characteristics = file.Read(pe + 22, 2);
    const uint64_t optional = pe + 24;
    const uint64_t magic = file.Read(optional, 2);
    // Where the data directories begin differs with the width of the image's addresses.
    uint64_t directories = 0;
    if (magic == 0x10B && machine == 0x14C) {
        out.format = "PE32 i386";
        directories = optional + 92;
    } else if (magic == 0x20B && machine == 0x8664) {
        out.format = "PE32+ x86-64";
        directories = optional + 108;
    } else {
        out.error = "not a PE32 i386 or PE32+ x86-64 image";
        return;
    }
    if ((characteristics & 0x2000) == 0) {
        out.error = "not a DLL";
        return;
    }
    out.format += " DLL";
    const uint64_t sections = optional + optionalSize;
    // A relative virtual address as an offset in the file, and whether its section executes.
    auto locate = [&](uint64_t rva, bool* executable = nullptr) -> uint64_t {
        for (uint64_t i = 0; i < sectionCount; ++i) {
            const uint64_t section = sections + i * 40;
            const uint64_t start = file.Read(section + 12, 4);
            const uint64_t size = std::max(file.Read(section + 8, 4), file.Read(section + 16, 4));
            if (rva >= start && rva < start + size) {
                if (executable) *executable = (file.Read(section + 36, 4) & 0x20000000) != 0;
                return file.Read(section + 20, 4) + (rva - start);
            }
        }
        return UINT64_MAX;
    };
    const uint64_t directoryCount = file.Read(directories, 4);
    const uint64_t exportRva = directoryCount > 0 ? file.Read(directories + 4, 4) : 0;
    const uint64_t importRva = directoryCount > 1 ? file.Read(directories + 12, 4) : 0;
    if (exportRva != 0) {
        const uint64_t directory = locate(exportRva);
        const uint64_t nameCount = file.Read(directory + 24, 4);
        const uint64_t functionTable = locate(file.Read(directory + 28, 4));
        const uint64_t nameTable = locate(file.Read(directory + 32, 4));
        const uint64_t ordinalTable = locate(file.Read(directory + 36, 4));
        for (uint64_t i = 0; i < nameCount && file.Has(nameTable + 4 * i, 4); ++i) {
            std::string name = file.Text(locate(file.Read(nameTable + 4 * i, 4)));
            const uint64_t ordinal = file.Read(ordinalTable + 2 * i, 2);
            bool executable = false;
            locate(file.Read(functionTable + 4 * ordinal, 4), &executable);
            (executable ? out.functions : out.otherExports).push_back(std::move(name));
        }
    }
    if (importRva != 0) {
        for (uint64_t entry = locate(importRva); file.Has(entry, 20); entry += 20) {
            const uint64_t nameRva = file.Read(entry + 12, 4);
            if (nameRva == 0) break;
            out.imports.push_back(file.Text(locate(nameRva)));
        }
    }
}

}  // namespace library_exports_detail

// Reads the library file at path; `error` says why when it is neither format.
inline LibraryExports ReadLibraryExports(const std::string& path) {
    using namespace library_exports_detail;
    LibraryExports out;
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        out.error = "cannot open " + path;
        return out;
    }
    const Bytes file(std::vector<char>((std::istreambuf_iterator<char>(stream)),
                                       std::istreambuf_iterator<char>()));
    if (file.StartsWith("\x7F"
                        "ELF",
                        4)) {
        ReadElf64(file, out);
    } else if (file.StartsWith("MZ", 2)) {
        ReadPe(file, out);
    } else {
        out.error = "neither ELF nor PE: " + path;
    }
    return out;
}

}  // namespace Vane::testing

#endif  // PYX_MISSIONS_LIBRARY_EXPORTS_TEST_SUPPORT_H_
