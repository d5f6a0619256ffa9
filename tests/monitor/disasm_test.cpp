#include <cstring>
#include <string_view>
#include "monitor_helpers.h"

namespace {

std::string line_at(uint16_t address, int* next = nullptr)
{
    char out[64];
    int n = disassemble_line(out, address);
    if (next) *next = n;
    return out;
}

void poke(uint16_t address, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes) write_byte(address++, b);
}

} // namespace

TEST(Disassembler, LinesOfTheDocumentedExamples)
{
    test_reset_machine();
    int next = 0;
    poke(0x0300, {0xA9, 0x05});
    EXPECT_EQ(line_at(0x0300, &next), "0300:  A905           LDA #$05");
    EXPECT_EQ(next, 0x0302);

    poke(0x0300, {0xD0, 0xFE});
    EXPECT_EQ(line_at(0x0300), "0300:  D0FE           BNE $0300");
    poke(0x0000, {0x10, 0x80});
    EXPECT_EQ(line_at(0x0000, &next), "0000:  1080           BPL $FF82");
    EXPECT_EQ(next, 0x0002);

    poke(0x0300, {0x2A});
    EXPECT_EQ(line_at(0x0300, &next), "0300:  2A             ROL");
    EXPECT_EQ(next, 0x0301);
    poke(0x0300, {0x02});
    EXPECT_EQ(line_at(0x0300, &next), "0300:  02             COP");
    EXPECT_EQ(next, 0x0301);
    poke(0x0300, {0xFF});
    EXPECT_EQ(line_at(0x0300), "0300:  FF             ???");

    poke(0x0300, {0x20, 0xED, 0xFD});
    EXPECT_EQ(line_at(0x0300, &next), "0300:  20EDFD         JSR $FDED");
    EXPECT_EQ(next, 0x0303);
}

TEST(Disassembler, OperandOfEachAddressingMode)
{
    test_reset_machine();
    struct Case { std::vector<uint8_t> bytes; const char* text; };
    const Case cases[] = {
        {{0x01, 0x44}, "ORA ($44,X)"},   {{0x11, 0x44}, "ORA ($44),Y"},
        {{0x12, 0x44}, "ORA ($44)"},     {{0xB5, 0x44}, "LDA $44,X"},
        {{0xB6, 0x44}, "LDX $44,Y"},     {{0x89, 0x0F}, "BIT #$0F"},
        {{0xAD, 0x34, 0x12}, "LDA $1234"}, {{0xBD, 0x34, 0x12}, "LDA $1234,X"},
        {{0x99, 0x34, 0x12}, "STA $1234,Y"}, {{0x6C, 0x34, 0x12}, "JMP ($1234)"},
        {{0x7C, 0x34, 0x12}, "JMP ($1234,X)"}, {{0x0A}, "ASL"}, {{0x80, 0x10}, "BRA $0312"},
    };
    for (const Case& c : cases) {
        for (size_t i = 0; i < c.bytes.size(); ++i) machine.mem.ram[0x0300 + i] = c.bytes[i];
        EXPECT_EQ(line_at(0x0300).substr(22), c.text);
    }
}

TEST(Disassembler, EveryOpcodeAlignsAndAdvancesByItsKind)
{
    test_reset_machine();
    int unknown = 0;
    for (int op = 0; op < 256; ++op) {
        poke(0x0300, {uint8_t(op), 0x00, 0x00});
        const disasm_entry& e = disasm_table[op];
        int next = 0;
        const std::string line = line_at(0x0300, &next);
        static constexpr int length[4] = {1, 2, 3, 2};
        EXPECT_EQ(next - 0x0300, length[e.kind]) << std::hex << op;
        // Mnemonic in column 22 whatever the instruction length.
        EXPECT_EQ(line.substr(22, 3), std::string(e.pattern, 3)) << line;
        EXPECT_EQ(line[21], ' ');
        if (std::string_view(e.pattern) == "???") {
            ++unknown;
            EXPECT_EQ(e.kind, DISASM_IMPLIED);
        }
    }
    EXPECT_EQ(unknown, 77);
    for (int op : {0x10, 0x30, 0x50, 0x70, 0x80, 0x90, 0xB0, 0xD0, 0xF0})
        EXPECT_EQ(disasm_table[op].kind, DISASM_BRANCH) << std::hex << op;
}

TEST(Disassembler, OperandsWrapAtTheTopOfMemoryButTheNextAddressDoesNot)
{
    test_reset_machine();
    // Language-card RAM at the top of memory, readable and writable.
    read_byte(0xC083);
    read_byte(0xC083);
    poke(0xFFFF, {0x20});
    poke(0x0000, {0x34, 0x12});
    int next = 0;
    EXPECT_EQ(line_at(0xFFFF, &next), "FFFF:  203412         JSR $1234");
    EXPECT_EQ(next, 0x10002);
    poke(0xFFFE, {0x80, 0x00});
    EXPECT_EQ(line_at(0xFFFE, &next), "FFFE:  8000           BRA $0000");
    EXPECT_EQ(next, 0x10000);
}
