// Disassembler of the ZELM listings: one line per instruction from a table of
// operand templates indexed by opcode. The Rockwell bit instructions and the
// core's no-op fillers are not named; they list as "???".
#include <cstdio>
#include <string_view>
#include "memory/memory.h"
#include "monitor/monitor.h"

namespace {

constexpr DisasmKind I = DISASM_IMPLIED;
constexpr DisasmKind B = DISASM_BYTE;
constexpr DisasmKind W = DISASM_WORD;
constexpr DisasmKind R = DISASM_BRANCH;

} // namespace

// The opcode chart, one block per high nibble, four cells a line: x0-x3,
// x4-x7, x8-xB, xC-xF.
constexpr std::array<disasm_entry, 256> disasm_table = {{
    // $0x
    {"BRK", I},            {"ORA ($%02X,X)", B},  {"COP", I},            {"???", I},
    {"TSB $%02X", B},      {"ORA $%02X", B},      {"ASL $%02X", B},      {"???", I},
    {"PHP", I},            {"ORA #$%02X", B},     {"ASL", I},            {"???", I},
    {"TSB $%04X", W},      {"ORA $%04X", W},      {"ASL $%04X", W},      {"???", I},
    // $1x
    {"BPL $%04X", R},      {"ORA ($%02X),Y", B},  {"ORA ($%02X)", B},    {"???", I},
    {"TRB $%02X", B},      {"ORA $%02X,X", B},    {"ASL $%02X,X", B},    {"???", I},
    {"CLC", I},            {"ORA $%04X,Y", W},    {"INC", I},            {"???", I},
    {"TRB $%04X", W},      {"ORA $%04X,X", W},    {"ASL $%04X,X", W},    {"???", I},
    // $2x
    {"JSR $%04X", W},      {"AND ($%02X,X)", B},  {"???", I},            {"???", I},
    {"BIT $%02X", B},      {"AND $%02X", B},      {"ROL $%02X", B},      {"???", I},
    {"PLP", I},            {"AND #$%02X", B},     {"ROL", I},            {"???", I},
    {"BIT $%04X", W},      {"AND $%04X", W},      {"ROL $%04X", W},      {"???", I},
    // $3x
    {"BMI $%04X", R},      {"AND ($%02X),Y", B},  {"AND ($%02X)", B},    {"???", I},
    {"BIT $%02X,X", B},    {"AND $%02X,X", B},    {"ROL $%02X,X", B},    {"???", I},
    {"SEC", I},            {"AND $%04X,Y", W},    {"DEC", I},            {"???", I},
    {"BIT $%04X,X", W},    {"AND $%04X,X", W},    {"ROL $%04X,X", W},    {"???", I},
    // $4x
    {"RTI", I},            {"EOR ($%02X,X)", B},  {"???", I},            {"???", I},
    {"???", I},            {"EOR $%02X", B},      {"LSR $%02X", B},      {"???", I},
    {"PHA", I},            {"EOR #$%02X", B},     {"LSR", I},            {"???", I},
    {"JMP $%04X", W},      {"EOR $%04X", W},      {"LSR $%04X", W},      {"???", I},
    // $5x
    {"BVC $%04X", R},      {"EOR ($%02X),Y", B},  {"EOR ($%02X)", B},    {"???", I},
    {"???", I},            {"EOR $%02X,X", B},    {"LSR $%02X,X", B},    {"???", I},
    {"CLI", I},            {"EOR $%04X,Y", W},    {"PHY", I},            {"???", I},
    {"???", I},            {"EOR $%04X,X", W},    {"LSR $%04X,X", W},    {"???", I},
    // $6x
    {"RTS", I},            {"ADC ($%02X,X)", B},  {"???", I},            {"???", I},
    {"STZ $%02X", B},      {"ADC $%02X", B},      {"ROR $%02X", B},      {"???", I},
    {"PLA", I},            {"ADC #$%02X", B},     {"ROR", I},            {"???", I},
    {"JMP ($%04X)", W},    {"ADC $%04X", W},      {"ROR $%04X", W},      {"???", I},
    // $7x
    {"BVS $%04X", R},      {"ADC ($%02X),Y", B},  {"ADC ($%02X)", B},    {"???", I},
    {"STZ $%02X,X", B},    {"ADC $%02X,X", B},    {"ROR $%02X,X", B},    {"???", I},
    {"SEI", I},            {"ADC $%04X,Y", W},    {"PLY", I},            {"???", I},
    {"JMP ($%04X,X)", W},  {"ADC $%04X,X", W},    {"ROR $%04X,X", W},    {"???", I},
    // $8x
    {"BRA $%04X", R},      {"STA ($%02X,X)", B},  {"???", I},            {"???", I},
    {"STY $%02X", B},      {"STA $%02X", B},      {"STX $%02X", B},      {"???", I},
    {"DEY", I},            {"BIT #$%02X", B},     {"TXA", I},            {"???", I},
    {"STY $%04X", W},      {"STA $%04X", W},      {"STX $%04X", W},      {"???", I},
    // $9x
    {"BCC $%04X", R},      {"STA ($%02X),Y", B},  {"STA ($%02X)", B},    {"???", I},
    {"STY $%02X,X", B},    {"STA $%02X,X", B},    {"STX $%02X,Y", B},    {"???", I},
    {"TYA", I},            {"STA $%04X,Y", W},    {"TXS", I},            {"???", I},
    {"STZ $%04X", W},      {"STA $%04X,X", W},    {"STZ $%04X,X", W},    {"???", I},
    // $Ax
    {"LDY #$%02X", B},     {"LDA ($%02X,X)", B},  {"LDX #$%02X", B},     {"???", I},
    {"LDY $%02X", B},      {"LDA $%02X", B},      {"LDX $%02X", B},      {"???", I},
    {"TAY", I},            {"LDA #$%02X", B},     {"TAX", I},            {"???", I},
    {"LDY $%04X", W},      {"LDA $%04X", W},      {"LDX $%04X", W},      {"???", I},
    // $Bx
    {"BCS $%04X", R},      {"LDA ($%02X),Y", B},  {"LDA ($%02X)", B},    {"???", I},
    {"LDY $%02X,X", B},    {"LDA $%02X,X", B},    {"LDX $%02X,Y", B},    {"???", I},
    {"CLV", I},            {"LDA $%04X,Y", W},    {"TSX", I},            {"???", I},
    {"LDY $%04X,X", W},    {"LDA $%04X,X", W},    {"LDX $%04X,Y", W},    {"???", I},
    // $Cx
    {"CPY #$%02X", B},     {"CMP ($%02X,X)", B},  {"???", I},            {"???", I},
    {"CPY $%02X", B},      {"CMP $%02X", B},      {"DEC $%02X", B},      {"???", I},
    {"INY", I},            {"CMP #$%02X", B},     {"DEX", I},            {"???", I},
    {"CPY $%04X", W},      {"CMP $%04X", W},      {"DEC $%04X", W},      {"???", I},
    // $Dx
    {"BNE $%04X", R},      {"CMP ($%02X),Y", B},  {"CMP ($%02X)", B},    {"???", I},
    {"???", I},            {"CMP $%02X,X", B},    {"DEC $%02X,X", B},    {"???", I},
    {"CLD", I},            {"CMP $%04X,Y", W},    {"PHX", I},            {"???", I},
    {"???", I},            {"CMP $%04X,X", W},    {"DEC $%04X,X", W},    {"???", I},
    // $Ex
    {"CPX #$%02X", B},     {"SBC ($%02X,X)", B},  {"???", I},            {"???", I},
    {"CPX $%02X", B},      {"SBC $%02X", B},      {"INC $%02X", B},      {"???", I},
    {"INX", I},            {"SBC #$%02X", B},     {"NOP", I},            {"???", I},
    {"CPX $%04X", W},      {"SBC $%04X", W},      {"INC $%04X", W},      {"???", I},
    // $Fx
    {"BEQ $%04X", R},      {"SBC ($%02X),Y", B},  {"SBC ($%02X)", B},    {"???", I},
    {"???", I},            {"SBC $%02X,X", B},    {"INC $%02X,X", B},    {"???", I},
    {"SED", I},            {"SBC $%04X,Y", W},    {"PLX", I},            {"???", I},
    {"???", I},            {"SBC $%04X,X", W},    {"INC $%04X,X", W},    {"???", I},
}};

namespace {

constexpr bool is_branch(std::string_view t)
{
    for (std::string_view m : {"BPL", "BMI", "BVC", "BVS", "BRA", "BCC", "BCS", "BNE", "BEQ"})
        if (t.substr(0, 3) == m) return true;
    return false;
}

// The kind follows from the template; the table spells it out for the reader
// and this keeps the two in step.
constexpr DisasmKind kind_of(std::string_view t)
{
    if (is_branch(t)) return DISASM_BRANCH;
    if (t.find("%04X") != std::string_view::npos) return DISASM_WORD;
    if (t.find("%02X") != std::string_view::npos) return DISASM_BYTE;
    return DISASM_IMPLIED;
}

constexpr bool table_consistent(const std::array<disasm_entry, 256>& t)
{
    for (const disasm_entry& e : t) {
        std::string_view p(e.pattern);
        if (p.size() >= sizeof e.pattern) return false;
        if (kind_of(p) != e.kind) return false;
    }
    return true;
}

constexpr int count_unknown(const std::array<disasm_entry, 256>& t)
{
    int n = 0;
    for (const disasm_entry& e : t)
        if (std::string_view(e.pattern) == "???") ++n;
    return n;
}

} // namespace

static_assert(table_consistent(disasm_table));
static_assert(count_unknown(disasm_table) == 77);
static_assert(std::string_view(disasm_table[0x02].pattern) == "COP" && disasm_table[0x02].kind == DISASM_IMPLIED);

namespace {

// Fills the template's one hole ("%02X" or "%04X") with value; everything
// else is copied as text. Templates are data, never handed to printf.
void expand_template(char* out, size_t size, const char* pattern, unsigned value)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const char* p = pattern; *p && n + 1 < size; ++p) {
        if (p[0] == '%' && p[1] == '0' && (p[2] == '2' || p[2] == '4') && p[3] == 'X') {
            int digits = p[2] - '0';
            for (int d = digits - 1; d >= 0 && n + 1 < size; --d)
                out[n++] = hex[(value >> (4 * d)) & 0xF];
            p += 3;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = 0;
}

uint8_t load(uint32_t address) { return read_byte(static_cast<uint16_t>(address)); }

} // namespace

int disassemble_line(char* out, uint16_t address)
{
    constexpr size_t line_size = 64;
    char operand[32];
    const uint8_t op = load(address);
    const disasm_entry& e = disasm_table[op];
    switch (e.kind) {
    case DISASM_IMPLIED:
        std::snprintf(out, line_size, "%04X:  %02X             %s", address, op, e.pattern);
        return address + 1;
    case DISASM_BYTE: {
        const uint8_t b = load(address + 1u);
        expand_template(operand, sizeof operand, e.pattern, b);
        std::snprintf(out, line_size, "%04X:  %02X%02X           %s", address, op, b, operand);
        return address + 2;
    }
    case DISASM_WORD: {
        const uint8_t lo = load(address + 1u);
        const uint8_t hi = load(address + 2u);
        expand_template(operand, sizeof operand, e.pattern, hi * 256u + lo);
        std::snprintf(out, line_size, "%04X:  %02X%02X%02X         %s", address, op, lo, hi, operand);
        return address + 3;
    }
    case DISASM_BRANCH: {
        const uint8_t b = load(address + 1u);
        const uint16_t target = static_cast<uint16_t>(address + 2 + static_cast<int8_t>(b));
        expand_template(operand, sizeof operand, e.pattern, target);
        std::snprintf(out, line_size, "%04X:  %02X%02X           %s", address, op, b, operand);
        return address + 2;
    }
    }
    out[0] = 0;
    return address + 1;
}
