// The library's dynamic symbol table, and its result texts as a caller in
// another language sees them: the pricers and the two text functions bound
// by name (dlsym, as Python's ctypes does), every text read and freed
// through them.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support/address_space_room.h"
#include "tarvic/tarvic.h"

namespace {

// The file of the libtarvic.so this process has loaded.
std::string loadedLibraryPath()
{
    void* handle = dlopen("libtarvic.so", RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return {};
    link_map* map = nullptr;
    std::string path;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name)
        path = map->l_name;
    dlclose(handle);
    return path;
}

// The names the shared object's dynamic symbol table defines with global
// or weak binding (what another program can bind by name).
std::set<std::string> definedDynamicSymbols(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file{std::istreambuf_iterator<char>(in), {}};
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr))
        return names;
    Elf64_Ehdr header;
    std::memcpy(&header, file.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
        return names;
    auto section = [&](size_t k) {
        Elf64_Shdr s{};
        const size_t at = header.e_shoff + k * sizeof(Elf64_Shdr);
        if (at + sizeof s <= file.size())
            std::memcpy(&s, file.data() + at, sizeof s);
        return s;
    };
    for (size_t k = 0; k < header.e_shnum; ++k) {
        const Elf64_Shdr table = section(k);
        if (table.sh_type != SHT_DYNSYM || table.sh_offset + table.sh_size > file.size())
            continue;
        const Elf64_Shdr strings = section(table.sh_link);
        for (size_t at = table.sh_offset; at + sizeof(Elf64_Sym) <= table.sh_offset + table.sh_size;
             at += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, file.data() + at, sizeof symbol);
            const unsigned binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK) ||
                strings.sh_offset + symbol.st_name >= file.size())
                continue;
            names.insert(file.data() + strings.sh_offset + symbol.st_name);
        }
    }
    return names;
}

TEST(LibrarySymbols, DefinesExactlyThePricersAndTheTextFunctions)
{
    const std::string path = loadedLibraryPath();
    ASSERT_FALSE(path.empty());
    const std::set<std::string> expected = {
        "VanillaBS",          "BarrierBS",           "VanillaBSGrid",
        "BarrierBSGrid",      "VelkOptionPricer",    "VelkBarrierOptionPricer",
        "VelkAsianOptionPricer", "VelkOptionPricerMC", "VelkAsianOptionPricerMC",
        "tvStringByteLen",    "tvFreeString"};
    EXPECT_EQ(definedDynamicSymbols(path), expected) << path;
}

// Resident memory of this process in kB (VmRSS), -1 when unreadable.
long residentKilobytes()
{
    long kilobytes = -1;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmRSS: %ld kB", &kilobytes) == 1)
                break;
        std::fclose(f);
    }
    return kilobytes;
}

// The library opened by file and every function taken by name.
class TextsBoundByName : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = loadedLibraryPath();
        ASSERT_FALSE(path.empty());
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        pricer = reinterpret_cast<decltype(&::VelkOptionPricer)>(dlsym(handle, "VelkOptionPricer"));
        byteLength = reinterpret_cast<uint32_t (*)(char*)>(dlsym(handle, "tvStringByteLen"));
        release = reinterpret_cast<void (*)(char*)>(dlsym(handle, "tvFreeString"));
        ASSERT_NE(pricer, nullptr);
        ASSERT_NE(byteLength, nullptr) << "tvStringByteLen is not exported";
        ASSERT_NE(release, nullptr) << "tvFreeString is not exported";
    }
    void TearDown() override
    {
        if (handle)
            dlclose(handle);
    }

    // A call that returns at once: with null arrays, a refusal; with the
    // arrays and a grid of more than 50000 nodes, the empty text.
    char* quickText(bool refused)
    {
        int32_t steps = 100000;
        double* a = refused ? nullptr : arrays.data();
        return pricer(a, arrays.data() + 50001, arrays.data() + 100002, arrays.data() + 150003,
                      arrays.data() + 200004, arrays.data() + 250005, 100.0, 10, 1.0, 0.2, 0.05,
                      0.0, &steps, 0, 0, 0, 0, 0.0, 0, 0, 0, 0);
    }

    void* handle = nullptr;
    decltype(&::VelkOptionPricer) pricer = nullptr;
    uint32_t (*byteLength)(char*) = nullptr;
    void (*release)(char*) = nullptr;
    std::vector<double> arrays = std::vector<double>(6 * 50001, 0.0);
};

TEST_F(TextsBoundByName, LengthAndBytesReadBackAndNullIsAccepted)
{
    const std::string message = "Invalid input: the result arrays must not be null.";
    char* text = quickText(true);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(byteLength(text), message.size());
    EXPECT_EQ(std::string(text), message);  // zero-terminated too
    release(text);

    text = quickText(false);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(byteLength(text), 0u);
    EXPECT_EQ(text[0], 0);
    release(text);

    EXPECT_EQ(byteLength(nullptr), 0u);
    release(nullptr);
}

// 10^5 texts, half refusals and half empty, each freed through the bound
// function: resident memory stays where it was (a text kept would add at
// least 32 bytes each, 3 MB in all). The address sanitizer keeps freed
// blocks in quarantine, so there only the calls run.
TEST_F(TextsBoundByName, ResidentMemoryStaysFlatOverManyTexts)
{
    for (int i = 0; i < 1000; ++i)
        release(quickText(i % 2 == 0));
    const long before = residentKilobytes();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 100000; ++i) {
        char* text = quickText(i % 2 == 0);
        ASSERT_NE(text, nullptr);
        release(text);
    }
    const long after = residentKilobytes();
#ifndef TARVIC_ADDRESS_SANITIZER
    EXPECT_LT(after - before, 1024) << "resident memory grew from " << before << " kB to " << after
                                    << " kB";
#else
    (void)after;
#endif
}

}  // namespace
