// The 65C02 opcode chart as data: mnemonic, addressing mode and cycles charged
// for every byte value, laid out as the chart is (row = high nibble, two lines
// per row for low nibbles 0-7 and 8-F). The core builds its handlers from it.
#pragma once
#include <array>
#include <cstdint>

enum CpuMnemonic : uint8_t {
    ADC, AND, ASL, BCC, BCS, BEQ, BIT, BMI, BNE, BPL, BRA, BRK, BVC, BVS, CLC, CLD,
    CLI, CLV, CMP, COP, CPX, CPY, DEC, DEX, DEY, EOR, INC, INX, INY, JMP, JSR, LDA,
    LDX, LDY, LSR, NOP, ORA, PHA, PHP, PHX, PHY, PLA, PLP, PLX, PLY, RMB, ROL, ROR,
    RTI, RTS, SBC, SEC, SED, SEI, SMB, STA, STX, STY, STZ, TAX, TAY, TRB, TSB, TSX,
    TXA, TXS, TYA,
};

inline constexpr std::array<const char*, 67> cpu_mnemonic_names = {
    "ADC", "AND", "ASL", "BCC", "BCS", "BEQ", "BIT", "BMI", "BNE", "BPL", "BRA", "BRK", "BVC", "BVS", "CLC", "CLD",
    "CLI", "CLV", "CMP", "COP", "CPX", "CPY", "DEC", "DEX", "DEY", "EOR", "INC", "INX", "INY", "JMP", "JSR", "LDA",
    "LDX", "LDY", "LSR", "NOP", "ORA", "PHA", "PHP", "PHX", "PHY", "PLA", "PLP", "PLX", "PLY", "RMB", "ROL", "ROR",
    "RTI", "RTS", "SBC", "SEC", "SED", "SEI", "SMB", "STA", "STX", "STY", "STZ", "TAX", "TAY", "TRB", "TSB", "TSX",
    "TXA", "TXS", "TYA",
};
static_assert(cpu_mnemonic_names.size() == TYA + 1);

// IMP implied, ACC accumulator, IMM #, ZP_ zp, ZPX/ZPY zp,X/zp,Y, ABS abs,
// ABX/ABY abs,X/abs,Y, IZX (zp,X), IZY (zp),Y, IZP (zp), IND (abs),
// IAX (abs,X), REL relative, SK1/SK2 no-op skipping one or two bytes.
enum CpuMode : uint8_t { IMP, ACC, IMM, ZP_, ZPX, ZPY, ABS, ABX, ABY, IZX, IZY, IZP, IND, IAX, REL, SK1, SK2 };

// Instruction length as far as the core is concerned (COP counts as one).
constexpr int cpu_mode_length(CpuMode m)
{
    switch (m) {
    case IMP: case ACC: return 1;
    case ABS: case ABX: case ABY: case IND: case IAX: case SK2: return 3;
    default: return 2;
    }
}

// Conditional branches charge `cycles` when not taken and one more when taken;
// BRA is always taken and charges its `cycles`. BRK's charge is made when its
// vector is loaded on the next entry. RMBn/SMBn take n from the opcode row.
struct CpuOpInfo {
    CpuMnemonic mnemonic;
    CpuMode mode;
    uint8_t cycles;
};

inline constexpr std::array<CpuOpInfo, 256> cpu_opcodes = {{
    /* 0 */ {BRK,IMP,7}, {ORA,IZX,6}, {COP,IMP,0}, {NOP,IMP,2}, {TSB,ZP_,5}, {ORA,ZP_,3}, {ASL,ZP_,5}, {RMB,ZP_,5},
    /*   */ {PHP,IMP,3}, {ORA,IMM,2}, {ASL,ACC,2}, {NOP,IMP,1}, {TSB,ABS,6}, {ORA,ABS,4}, {ASL,ABS,6}, {NOP,SK2,0},
    /* 1 */ {BPL,REL,2}, {ORA,IZY,5}, {ORA,IZP,5}, {NOP,IMP,2}, {TRB,ZP_,5}, {ORA,ZPX,4}, {ASL,ZPX,6}, {RMB,ZP_,5},
    /*   */ {CLC,IMP,2}, {ORA,ABY,4}, {INC,ACC,2}, {NOP,IMP,2}, {TRB,ABS,6}, {ORA,ABX,4}, {ASL,ABX,7}, {NOP,SK2,0},
    /* 2 */ {JSR,ABS,6}, {AND,IZX,6}, {NOP,SK1,2}, {NOP,IMP,2}, {BIT,ZP_,3}, {AND,ZP_,3}, {ROL,ZP_,5}, {RMB,ZP_,5},
    /*   */ {PLP,IMP,4}, {AND,IMM,2}, {ROL,ACC,2}, {NOP,IMP,2}, {BIT,ABS,4}, {AND,ABS,4}, {ROL,ABS,6}, {NOP,SK2,0},
    /* 3 */ {BMI,REL,2}, {AND,IZY,5}, {AND,IZP,5}, {NOP,IMP,2}, {BIT,ZPX,4}, {AND,ZPX,4}, {ROL,ZPX,6}, {RMB,ZP_,5},
    /*   */ {SEC,IMP,2}, {AND,ABY,4}, {DEC,ACC,2}, {NOP,IMP,2}, {BIT,ABX,4}, {AND,ABX,4}, {ROL,ABX,7}, {NOP,SK2,0},
    /* 4 */ {RTI,IMP,6}, {EOR,IZX,6}, {NOP,SK1,2}, {NOP,IMP,2}, {NOP,SK1,3}, {EOR,ZP_,3}, {LSR,ZP_,5}, {RMB,ZP_,5},
    /*   */ {PHA,IMP,3}, {EOR,IMM,2}, {LSR,ACC,2}, {NOP,IMP,2}, {JMP,ABS,3}, {EOR,ABS,4}, {LSR,ABS,6}, {NOP,SK2,0},
    /* 5 */ {BVC,REL,2}, {EOR,IZY,5}, {EOR,IZP,5}, {NOP,IMP,2}, {NOP,SK1,4}, {EOR,ZPX,4}, {LSR,ZPX,6}, {RMB,ZP_,5},
    /*   */ {CLI,IMP,2}, {EOR,ABY,4}, {PHY,IMP,3}, {NOP,IMP,2}, {NOP,SK2,8}, {EOR,ABX,4}, {LSR,ABX,7}, {NOP,SK2,0},
    /* 6 */ {RTS,IMP,6}, {ADC,IZX,6}, {NOP,SK1,2}, {NOP,IMP,2}, {STZ,ZP_,3}, {ADC,ZP_,3}, {ROR,ZP_,5}, {RMB,ZP_,5},
    /*   */ {PLA,IMP,4}, {ADC,IMM,2}, {ROR,ACC,2}, {NOP,IMP,2}, {JMP,IND,5}, {ADC,ABS,4}, {ROR,ABS,6}, {NOP,SK2,0},
    /* 7 */ {BVS,REL,2}, {ADC,IZY,5}, {ADC,IZP,5}, {NOP,IMP,2}, {STZ,ZPX,4}, {ADC,ZPX,4}, {ROR,ZPX,6}, {RMB,ZP_,5},
    /*   */ {SEI,IMP,2}, {ADC,ABY,4}, {PLY,IMP,4}, {NOP,IMP,2}, {JMP,IAX,5}, {ADC,ABX,4}, {ROR,ABX,7}, {NOP,SK2,0},
    /* 8 */ {BRA,REL,3}, {STA,IZX,6}, {NOP,SK1,2}, {NOP,IMP,2}, {STY,ZP_,3}, {STA,ZP_,3}, {STX,ZP_,3}, {SMB,ZP_,5},
    /*   */ {DEY,IMP,2}, {BIT,IMM,2}, {TXA,IMP,2}, {NOP,IMP,2}, {STY,ABS,4}, {STA,ABS,4}, {STX,ABS,4}, {NOP,SK2,0},
    /* 9 */ {BCC,REL,2}, {STA,IZY,6}, {STA,IZP,6}, {NOP,IMP,2}, {STY,ZPX,4}, {STA,ZPX,4}, {STX,ZPY,4}, {SMB,ZP_,5},
    /*   */ {TYA,IMP,2}, {STA,ABY,5}, {TXS,IMP,2}, {NOP,IMP,2}, {STZ,ABS,4}, {STA,ABX,5}, {STZ,ABX,5}, {NOP,SK2,0},
    /* A */ {LDY,IMM,2}, {LDA,IZX,6}, {LDX,IMM,2}, {NOP,IMP,2}, {LDY,ZP_,3}, {LDA,ZP_,3}, {LDX,ZP_,3}, {SMB,ZP_,5},
    /*   */ {TAY,IMP,2}, {LDA,IMM,2}, {TAX,IMP,2}, {NOP,IMP,2}, {LDY,ABS,4}, {LDA,ABS,4}, {LDX,ABS,4}, {NOP,SK2,0},
    /* B */ {BCS,REL,2}, {LDA,IZY,5}, {LDA,IZP,5}, {NOP,IMP,2}, {LDY,ZPX,4}, {LDA,ZPX,4}, {LDX,ZPY,4}, {SMB,ZP_,5},
    /*   */ {CLV,IMP,2}, {LDA,ABY,4}, {TSX,IMP,2}, {NOP,IMP,2}, {LDY,ABX,4}, {LDA,ABX,4}, {LDX,ABY,4}, {NOP,SK2,0},
    /* C */ {CPY,IMM,2}, {CMP,IZX,6}, {NOP,SK1,2}, {NOP,IMP,2}, {CPY,ZP_,3}, {CMP,ZP_,3}, {DEC,ZP_,5}, {SMB,ZP_,5},
    /*   */ {INY,IMP,2}, {CMP,IMM,2}, {DEX,IMP,2}, {NOP,IMP,2}, {CPY,ABS,4}, {CMP,ABS,4}, {DEC,ABS,6}, {NOP,SK2,0},
    /* D */ {BNE,REL,2}, {CMP,IZY,5}, {CMP,IZP,5}, {NOP,IMP,2}, {NOP,SK1,4}, {CMP,ZPX,4}, {DEC,ZPX,6}, {SMB,ZP_,5},
    /*   */ {CLD,IMP,2}, {CMP,ABY,4}, {PHX,IMP,3}, {NOP,IMP,2}, {NOP,SK2,4}, {CMP,ABX,4}, {DEC,ABX,7}, {NOP,SK2,0},
    /* E */ {CPX,IMM,2}, {SBC,IZX,6}, {NOP,SK1,2}, {NOP,IMP,2}, {CPX,ZP_,3}, {SBC,ZP_,3}, {INC,ZP_,5}, {SMB,ZP_,5},
    /*   */ {INX,IMP,2}, {SBC,IMM,2}, {NOP,IMP,2}, {NOP,IMP,2}, {CPX,ABS,4}, {SBC,ABS,4}, {INC,ABS,6}, {NOP,SK2,0},
    /* F */ {BEQ,REL,2}, {SBC,IZY,5}, {SBC,IZP,5}, {NOP,IMP,2}, {NOP,SK1,4}, {SBC,ZPX,4}, {INC,ZPX,6}, {SMB,ZP_,5},
    /*   */ {SED,IMP,2}, {SBC,ABY,4}, {PLX,IMP,4}, {NOP,IMP,2}, {NOP,SK2,4}, {SBC,ABX,4}, {INC,ABX,7}, {NOP,SK2,0},
}};
