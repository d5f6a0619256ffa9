// Every opcode run once from a known state, its length and charge compared
// with the opcode chart typed in below as text, cell by cell as the chart
// reads: mnemonic, addressing mode, cycles (2/3 = branch not taken / taken).
#include <array>
#include <sstream>
#include <string>
#include <vector>
#include "cpu/opcodes.h"
#include "cpu_test.h"

namespace {

const std::array<const char*, 256> kChart = {
    /* 0 */ "BRK 7", "ORA (zp,X) 6", "COP 0", "NOP 2", "TSB zp 5", "ORA zp 3", "ASL zp 5", "RMB0 zp 5",
    /*   */ "PHP 3", "ORA # 2", "ASL A 2", "NOP 1", "TSB abs 6", "ORA abs 4", "ASL abs 6", "NOP +2 0",
    /* 1 */ "BPL rel 2/3", "ORA (zp),Y 5", "ORA (zp) 5", "NOP 2", "TRB zp 5", "ORA zp,X 4", "ASL zp,X 6", "RMB1 zp 5",
    /*   */ "CLC 2", "ORA abs,Y 4", "INC A 2", "NOP 2", "TRB abs 6", "ORA abs,X 4", "ASL abs,X 7", "NOP +2 0",
    /* 2 */ "JSR abs 6", "AND (zp,X) 6", "NOP +1 2", "NOP 2", "BIT zp 3", "AND zp 3", "ROL zp 5", "RMB2 zp 5",
    /*   */ "PLP 4", "AND # 2", "ROL A 2", "NOP 2", "BIT abs 4", "AND abs 4", "ROL abs 6", "NOP +2 0",
    /* 3 */ "BMI rel 2/3", "AND (zp),Y 5", "AND (zp) 5", "NOP 2", "BIT zp,X 4", "AND zp,X 4", "ROL zp,X 6", "RMB3 zp 5",
    /*   */ "SEC 2", "AND abs,Y 4", "DEC A 2", "NOP 2", "BIT abs,X 4", "AND abs,X 4", "ROL abs,X 7", "NOP +2 0",
    /* 4 */ "RTI 6", "EOR (zp,X) 6", "NOP +1 2", "NOP 2", "NOP +1 3", "EOR zp 3", "LSR zp 5", "RMB4 zp 5",
    /*   */ "PHA 3", "EOR # 2", "LSR A 2", "NOP 2", "JMP abs 3", "EOR abs 4", "LSR abs 6", "NOP +2 0",
    /* 5 */ "BVC rel 2/3", "EOR (zp),Y 5", "EOR (zp) 5", "NOP 2", "NOP +1 4", "EOR zp,X 4", "LSR zp,X 6", "RMB5 zp 5",
    /*   */ "CLI 2", "EOR abs,Y 4", "PHY 3", "NOP 2", "NOP +2 8", "EOR abs,X 4", "LSR abs,X 7", "NOP +2 0",
    /* 6 */ "RTS 6", "ADC (zp,X) 6", "NOP +1 2", "NOP 2", "STZ zp 3", "ADC zp 3", "ROR zp 5", "RMB6 zp 5",
    /*   */ "PLA 4", "ADC # 2", "ROR A 2", "NOP 2", "JMP (abs) 5", "ADC abs 4", "ROR abs 6", "NOP +2 0",
    /* 7 */ "BVS rel 2/3", "ADC (zp),Y 5", "ADC (zp) 5", "NOP 2", "STZ zp,X 4", "ADC zp,X 4", "ROR zp,X 6", "RMB7 zp 5",
    /*   */ "SEI 2", "ADC abs,Y 4", "PLY 4", "NOP 2", "JMP (abs,X) 5", "ADC abs,X 4", "ROR abs,X 7", "NOP +2 0",
    /* 8 */ "BRA rel 3", "STA (zp,X) 6", "NOP +1 2", "NOP 2", "STY zp 3", "STA zp 3", "STX zp 3", "SMB0 zp 5",
    /*   */ "DEY 2", "BIT # 2", "TXA 2", "NOP 2", "STY abs 4", "STA abs 4", "STX abs 4", "NOP +2 0",
    /* 9 */ "BCC rel 2/3", "STA (zp),Y 6", "STA (zp) 6", "NOP 2", "STY zp,X 4", "STA zp,X 4", "STX zp,Y 4", "SMB1 zp 5",
    /*   */ "TYA 2", "STA abs,Y 5", "TXS 2", "NOP 2", "STZ abs 4", "STA abs,X 5", "STZ abs,X 5", "NOP +2 0",
    /* A */ "LDY # 2", "LDA (zp,X) 6", "LDX # 2", "NOP 2", "LDY zp 3", "LDA zp 3", "LDX zp 3", "SMB2 zp 5",
    /*   */ "TAY 2", "LDA # 2", "TAX 2", "NOP 2", "LDY abs 4", "LDA abs 4", "LDX abs 4", "NOP +2 0",
    /* B */ "BCS rel 2/3", "LDA (zp),Y 5", "LDA (zp) 5", "NOP 2", "LDY zp,X 4", "LDA zp,X 4", "LDX zp,Y 4", "SMB3 zp 5",
    /*   */ "CLV 2", "LDA abs,Y 4", "TSX 2", "NOP 2", "LDY abs,X 4", "LDA abs,X 4", "LDX abs,Y 4", "NOP +2 0",
    /* C */ "CPY # 2", "CMP (zp,X) 6", "NOP +1 2", "NOP 2", "CPY zp 3", "CMP zp 3", "DEC zp 5", "SMB4 zp 5",
    /*   */ "INY 2", "CMP # 2", "DEX 2", "NOP 2", "CPY abs 4", "CMP abs 4", "DEC abs 6", "NOP +2 0",
    /* D */ "BNE rel 2/3", "CMP (zp),Y 5", "CMP (zp) 5", "NOP 2", "NOP +1 4", "CMP zp,X 4", "DEC zp,X 6", "SMB5 zp 5",
    /*   */ "CLD 2", "CMP abs,Y 4", "PHX 3", "NOP 2", "NOP +2 4", "CMP abs,X 4", "DEC abs,X 7", "NOP +2 0",
    /* E */ "CPX # 2", "SBC (zp,X) 6", "NOP +1 2", "NOP 2", "CPX zp 3", "SBC zp 3", "INC zp 5", "SMB6 zp 5",
    /*   */ "INX 2", "SBC # 2", "NOP 2", "NOP 2", "CPX abs 4", "SBC abs 4", "INC abs 6", "NOP +2 0",
    /* F */ "BEQ rel 2/3", "SBC (zp),Y 5", "SBC (zp) 5", "NOP 2", "NOP +1 4", "SBC zp,X 4", "INC zp,X 6", "SMB7 zp 5",
    /*   */ "SED 2", "SBC abs,Y 4", "PLX 4", "NOP 2", "NOP +2 4", "SBC abs,X 4", "INC abs,X 7", "NOP +2 0",
};

struct ChartCell {
    std::string mnemonic;
    std::string mode;
    int cycles = 0;       // not taken, for branches
    int cycles_taken = 0;
    int length = 0;
};

ChartCell parse_cell(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    ChartCell c;
    c.mnemonic = words.front();
    if (words.size() == 3) c.mode = words[1];
    const std::string& cyc = words.back();
    const auto slash = cyc.find('/');
    c.cycles = std::stoi(cyc.substr(0, slash));
    c.cycles_taken = slash == std::string::npos ? c.cycles : std::stoi(cyc.substr(slash + 1));
    if (c.mode.empty() || c.mode == "A") c.length = 1;
    else if (c.mode.find("abs") != std::string::npos || c.mode == "+2") c.length = 3;
    else c.length = 2;
    return c;
}

bool taken_with_flags(const std::string& m, int f)
{
    if (m == "BRA") return true;
    const bool set = f != 0;
    if (m == "BPL" || m == "BVC" || m == "BCC" || m == "BNE") return !set;
    return set; // BMI BVS BCS BEQ
}

struct Outcome {
    int advance;
    int cycles;
};

// Operands $10 $20: zero page $10 (pointer $0000) and absolute $2010. Jumps
// and returns are aimed at the byte after the instruction so that their
// length shows up the same way. COP stands on a trap that does nothing.
Outcome run_once(uint8_t op, uint8_t flags)
{
    cpu_test_reset();
    const uint16_t base = op == 0x02 ? 0xF847 : 0x0400;
    const uint16_t after = static_cast<uint16_t>(base + 3);
    poke(base, {op, 0x10, 0x20});
    CpuRegisters& r = machine.cpu.reg;
    if (op == 0x4C || op == 0x20) poke(base + 1, {uint8_t(after), uint8_t(after >> 8)});
    if (op == 0x6C || op == 0x7C) poke(0x2010, {uint8_t(after), uint8_t(after >> 8)});
    if (op == 0x60) {
        r.s = 0xF0;
        poke(0x01F1, {uint8_t(base), uint8_t(base >> 8)});
    }
    if (op == 0x40) {
        r.s = 0xF0;
        poke(0x01F1, {0x20, uint8_t(base + 1), uint8_t((base + 1) >> 8)});
    }
    if (cpu_opcodes[op].mode == REL) poke(base + 1, {0x00});
    r.flag_n = r.flag_v = r.flag_d = r.flag_i = r.flag_z = r.flag_c = flags;
    r.flag_d = 0; // decimal mode is covered elsewhere
    r.pc = base;
    r.cycles = 0;
    const bool went_on = cpu_step();
    Outcome o{static_cast<uint16_t>(r.pc - base), static_cast<int>(r.cycles)};
    if (op == 0x00) {
        // BRK charges on the next entry, when the vector is loaded; $0F at
        // the handler costs nothing itself.
        EXPECT_FALSE(went_on);
        EXPECT_EQ(o.cycles, 0);
        poke(0xFFFE, {0x00, 0x05});
        poke(0x0500, {0x0F});
        cpu_step();
        o.cycles = static_cast<int>(r.cycles);
    } else {
        EXPECT_TRUE(went_on) << std::hex << int(op);
    }
    return o;
}

TEST(OpcodeChart, ProductTableNamesTheChartsMnemonicsAndModes)
{
    for (int op = 0; op < 256; ++op) {
        const ChartCell c = parse_cell(kChart[op]);
        const CpuOpInfo& info = cpu_opcodes[op];
        std::string name = cpu_mnemonic_names[info.mnemonic];
        if (info.mnemonic == RMB || info.mnemonic == SMB) name += char('0' + ((op >> 4) & 7));
        EXPECT_EQ(name, c.mnemonic) << "opcode " << std::hex << op;
        EXPECT_EQ(cpu_mode_length(info.mode), c.length) << "opcode " << std::hex << op;
    }
}

TEST(OpcodeChart, EveryOpcodeAdvancesAndChargesAsCharted)
{
    for (int op = 0; op < 256; ++op) {
        const ChartCell c = parse_cell(kChart[op]);
        for (uint8_t f : {0, 1}) {
            const Outcome o = run_once(static_cast<uint8_t>(op), f);
            const bool branch = c.mode == "rel";
            const int want = branch && taken_with_flags(c.mnemonic, f) ? c.cycles_taken : c.cycles;
            // BRK skips its signature byte.
            const int length = op == 0x00 ? 2 : c.length;
            EXPECT_EQ(o.advance, length) << kChart[op] << " (opcode $" << std::hex << op << "), flags " << int(f);
            EXPECT_EQ(o.cycles, want) << kChart[op] << " (opcode $" << std::hex << op << "), flags " << int(f);
        }
    }
}

} // namespace
