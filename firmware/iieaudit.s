; //e memory audit. For every setting of ALTZP, RAMRD, RAMWRT, 80STORE,
; PAGE2 and HIRES, under seven language-card states, it finds where a load
; and a store of sixteen probe addresses land (main or auxiliary RAM, which
; card bank, ROM), reads the status switches, and then checks which ROM
; answers in $C100-$CFFF under INTCXROM, SLOTC3ROM and the INTC8ROM latch.
;
; From BASIC: BLOAD it (its header loads it at $6000), then CALL 24576. It
; needs a 128K //e with ALTZP, RAMRD and RAMWRT off, as BASIC has them;
; every probed byte, main and auxiliary, and the display, INTCXROM and
; SLOTC3ROM switches are put back as found. Interrupts are held off while
; it runs. The language card is left reading what it read, write-protected.
;
; Results stay in memory at $6003 (see below) and are printed. A fault
; record is eight bytes: section, language-card state (or script step),
; switch combination, probe (or status address, or page), expected, found,
; and two zeros. Places: 0 main, 1 aux, 2 main bank 2, 3 aux bank 2 (for
; $D000-$DFFF, where 0 and 1 are bank 1), 4 ROM, $FE something else,
; $FF nowhere. Status answers are 0 or 1; ROM answers 1 internal, 0 not.

COUT    = $FDED
CROUT   = $FD8E
PRBYTE  = $FDDA
PTR     = $FC           ; kept equal in both zero pages

; Combination bits.
B_ALTZP = $01
B_RAMRD = $02
B_RAMWRT = $04
B_80STORE = $08
B_PAGE2 = $10
B_HIRES = $20
NCOMBO  = 64

; Probe kinds.
K_ZP    = 0             ; $0000-$01FF: ALTZP
K_RAM   = 1             ; RAMRD / RAMWRT
K_TEXT  = 2             ; $0400-$07FF: PAGE2 while 80STORE
K_HIRES = 3             ; $2000-$3FFF: PAGE2 while 80STORE and HIRES
K_LCD   = 4             ; $D000-$DFFF: card, two banks, half by ALTZP
K_LCE   = 5             ; $E000-$FFFF: card, half by ALTZP
NPROBE  = 16
NLC     = 7

S_AUX   = 1             ; sections
S_LC    = 2
S_STATUS = 3
S_ROM   = 4
MAXREC  = 32
NSWITCH = 5             ; switches put back (see saved_addr)

        .segment "HEADER"
        .word   entry, prog_end - entry

        .segment "CODE"

entry:  jmp     start
; ---- Results ($6003) ---------------------------------------------------------
done:   .byte   0               ; $6003: $A5 once finished
faults: .word   0               ; $6004: all faults
section: .word  0, 0, 0, 0      ; $6006: per section 1-4
nrec:   .byte   0               ; $600E: records kept (at most 32)
        .byte   0
records: .res   8 * MAXREC, 0   ; $6010

; ---- Switching, inline so that no stack is used between ALTZP changes ------
; A = combination; clobbers A.
.macro  SET_SWITCHES
        lsr     a
        bcc     :+
        sta     $C009           ; ALTZP
:       lsr     a
        bcc     :+
        sta     $C003           ; RAMRD
:       lsr     a
        bcc     :+
        sta     $C005           ; RAMWRT
:       lsr     a
        bcc     :+
        sta     $C001           ; 80STORE
:       lsr     a
        bcc     :+
        sta     $C055           ; PAGE2
:       lsr     a
        bcc     :+
        sta     $C057           ; HIRES
:
.endmacro

; Every memory switch off, the card on ROM; A, X and Y are kept.
.macro  HOME
        sta     $C008
        sta     $C002
        sta     $C004
        sta     $C000
        sta     $C054
        sta     $C056
        bit     $C082
.endmacro

; A = combination, X = card switch ($C080 + X, accessed twice first),
; PTR = address. Returns the byte loaded in A, back home. The code runs
; from main or auxiliary RAM alike: both hold the same copy.
access_load:
        pha
        lda     $C080,x
        lda     $C080,x
        pla
        SET_SWITCHES
        ldx     #0
        lda     (PTR,x)
        HOME
        rts

; As access_load, storing Y instead.
access_store:
        pha
        lda     $C080,x
        lda     $C080,x
        pla
        SET_SWITCHES
        ldx     #0
        tya
        sta     (PTR,x)
        HOME
        rts

; PTR = A (low), Y (high) in both zero pages.
set_ptr:
        sta     PTR
        sty     PTR+1
        sta     $C009
        sta     PTR
        sty     PTR+1
        sta     $C008
        rts

; ---- Main ----------------------------------------------------------------------
start:  php
        sei
        cld
        ldx     #records - done - 1
        lda     #0
:       sta     done,x
        dex
        bpl     :-
        jsr     save_state
        HOME
        sta     $C006
        jsr     copy_to_aux
        ; What a load sees with the card on ROM: the ROM byte, or main RAM.
        ldx     #NPROBE - 1
:       jsr     point_at_probe
        lda     #0
        ldx     #$02
        jsr     access_load
        ldx     probe
        sta     romref,x
        dex
        bpl     :-
        jsr     keep_probes
        jsr     audit_memory
        jsr     audit_rom
        jsr     keep_probes_back
        jsr     restore_state
        plp
        jsr     report
        lda     #$A5
        sta     done
        rts

; Switch status, and PTR in both zero pages.
save_state:
        lda     PTR
        sta     saved_ptr
        lda     PTR+1
        sta     saved_ptr+1
        sta     $C009
        lda     PTR
        sta     saved_ptr+2
        lda     PTR+1
        sta     saved_ptr+3
        sta     $C008
        ldx     #NSAVED - 1
:       lda     saved_addr,x
        sta     PTR
        lda     #$C0
        sta     PTR+1
        ldy     #0
        lda     (PTR),y
        sta     saved_status,x
        dex
        bpl     :-
        rts

restore_state:
        lda     saved_ptr+2
        ldy     saved_ptr+3
        jsr     set_ptr         ; aux zero page
        lda     saved_ptr
        sta     PTR
        lda     saved_ptr+1
        sta     PTR+1
        ldx     #NSWITCH - 1
:       ldy     switch_off,x
        lda     saved_status,x
        bpl     :+
        ldy     switch_on,x
:       lda     $C000,y         ; stores for $C00x, any access for $C05x
        sta     $C000,y
        dex
        bpl     :--
        ; The card: RAM bank 2, RAM bank 1 or ROM, as it was read.
        ldx     #$02
        bit     saved_status + NSWITCH + 1 ; $C012
        bpl     :+
        ldx     #$08
        bit     saved_status + NSWITCH ; $C011
        bpl     :+
        ldx     #$00
:       lda     $C080,x
        rts

; Status addresses kept; the first NSWITCH are put back by a store to the
; off or on address, then $C011 and $C012.
saved_addr:
        .byte   $18, $1C, $1D, $15, $17, $11, $12
NSAVED  = * - saved_addr
switch_off:
        .byte   $00, $54, $56, $06, $0A
switch_on:
        .byte   $01, $55, $57, $07, $0B

; The program, code and data, into the same addresses of the aux half.
copy_to_aux:
        lda     #<entry
        sta     PTR
        lda     #>entry
        sta     PTR+1
        ldx     #>(prog_end - entry + $FF)
        ldy     #0
        sta     $C005           ; loads main, stores aux
:       lda     (PTR),y
        sta     (PTR),y
        iny
        bne     :-
        inc     PTR+1
        dex
        bne     :-
        sta     $C004
        rts

; X = probe: PTR at it, kind and place count set.
point_at_probe:
        stx     probe
        lda     probe_kind,x
        sta     kind
        ldy     #2
        cmp     #K_LCD
        bne     :+
        ldy     #4
:       sty     nplaces
        lda     probe_lo,x
        ldy     probe_hi,x
        jmp     set_ptr

; Place k (0-3): combination and card switch that reach it.
place_combo:
        .byte   0, B_ALTZP | B_RAMRD | B_RAMWRT, 0, B_ALTZP | B_RAMRD | B_RAMWRT
place_lc:
        .byte   $0B, $0B, $03, $03

; X = place: A = its combination, X = its card switch; Y is kept.
place_args:
        lda     place_combo,x
        pha
        lda     place_lc,x
        tax
        pla
        rts

; Every place of every probe into keep[probe * 4 + place], and back.
keep_probes:
        lda     #0
        sta     writing
        beq     keep_all
keep_probes_back:
        lda     #1
        sta     writing
keep_all:
        ldx     #NPROBE - 1
@probe: jsr     point_at_probe
        lda     #0
        sta     k
@place: lda     probe
        asl     a
        asl     a
        ora     k
        sta     slot
        tax
        ldy     keep,x          ; the byte to put back
        ldx     k
        jsr     place_args
        pha
        lda     writing
        bne     @store
        pla
        jsr     access_load
        ldx     slot
        sta     keep,x
        jmp     @next
@store: pla
        jsr     access_store
@next:  inc     k
        lda     k
        cmp     nplaces
        bne     @place
        ldx     probe
        dex
        bpl     @probe
        rts

; ---- Where loads and stores land ---------------------------------------------------
audit_memory:
        lda     #0
        sta     lc_i
@lc:    lda     #0
        sta     combo
@combo: ldx     #0
@probe: jsr     point_at_probe
        jsr     test_probe
        ldx     probe
        inx
        cpx     #NPROBE
        bne     @probe
        jsr     test_status
        inc     combo
        lda     combo
        cmp     #NCOMBO
        bne     @combo
        inc     lc_i
        lda     lc_i
        cmp     #NLC
        bne     @lc
        rts

; Card states: the switch accessed twice, the bank that loads read (0 ROM)
; and the bank that stores write (0 none).
lc_switch:
        .byte   $02, $01, $03, $0B, $00, $09, $08
lc_read:
        .byte   0, 0, 2, 1, 2, 0, 1
lc_write:
        .byte   0, 2, 2, 1, 0, 1, 0

test_probe:
        ; Markers base + k for place k, base + 5 for the stored byte; base
        ; is never the ROM byte, so a load of ROM is told from the markers.
        lda     combo
        asl     a
        asl     a
        asl     a
        sec
        ldx     probe
        adc     romref,x
        sta     base

        ; A load.
        jsr     fill_markers
        ldx     lc_i
        lda     lc_switch,x
        tax
        lda     combo
        jsr     access_load
        sta     tmp
        ldx     #0
@match: txa
        clc
        adc     base
        cmp     tmp
        beq     @found
        inx
        cpx     nplaces
        bne     @match
        ldx     #$FE
        lda     kind
        cmp     #K_LCD
        bcc     @found
        ldy     probe
        lda     romref,y
        cmp     tmp
        bne     @found
        ldx     #4
@found: stx     got
        lda     #0
        sta     op
        jsr     expect
        jsr     compare

        ; A store, then every place read back: one holds the stored byte,
        ; the others their markers.
        jsr     fill_markers
        lda     base
        clc
        adc     #5
        tay
        ldx     lc_i
        lda     lc_switch,x
        tax
        lda     combo
        jsr     access_store
        lda     #$FF
        sta     got
        lda     #0
        sta     k
@back:  ldx     k
        jsr     place_args
        jsr     access_load
        sta     tmp
        lda     base
        clc
        adc     #5
        cmp     tmp
        beq     @stored
        lda     base
        clc
        adc     k
        cmp     tmp
        beq     @same
@bad:   lda     #$FE
        sta     got
        jmp     @same
@stored:
        lda     got
        cmp     #$FF
        bne     @bad            ; in two places
        lda     k
        sta     got
@same:  inc     k
        lda     k
        cmp     nplaces
        bne     @back
        lda     #1
        sta     op
        jsr     expect
        ; fall into compare

; Records a fault when want differs from got.
compare:
        lda     want
        cmp     got
        beq     @ok
        lda     kind
        ldx     #S_AUX
        cmp     #K_LCD
        bcc     :+
        ldx     #S_LC
:       lda     probe
        jmp     record
@ok:    rts

; Marker base + k into every place k.
fill_markers:
        lda     #0
        sta     k
:       lda     k
        clc
        adc     base
        tay
        ldx     k
        jsr     place_args
        jsr     access_store
        inc     k
        lda     k
        cmp     nplaces
        bne     :-
        rts

; want = where the real //e puts a load (op 0) or store (op 1) of the probe
; under combo and card state lc_i.
expect:
        lda     kind
        cmp     #K_ZP
        beq     @zp
        cmp     #K_TEXT
        beq     @text
        cmp     #K_HIRES
        beq     @hires
        cmp     #K_RAM
        beq     @ram
        ; The card: ROM or no store, else a bank of the half ALTZP chooses.
        ldx     lc_i
        lda     lc_read,x
        ldy     op
        beq     :+
        lda     lc_write,x
:       tay
        bne     @bank
        lda     #4              ; a load of ROM
        ldy     op
        beq     @want
        lda     #$FF            ; a dropped store
        bne     @want
@bank:  ldy     #0
        cmp     #2
        bne     :+
        lda     kind
        cmp     #K_LCD
        bne     :+
        ldy     #2              ; $D000-$DFFF bank 2
:       sty     tmp
        lda     combo
        and     #B_ALTZP
        ora     tmp
        bpl     @want
@zp:    lda     combo
        and     #B_ALTZP
        bpl     @want
@hires: lda     combo
        and     #B_HIRES
        beq     @ram
@text:  lda     combo
        and     #B_80STORE
        beq     @ram
        lda     combo
        and     #B_PAGE2
        beq     @want
        lda     #1
        bne     @want
@ram:   lda     combo
        ldy     op
        beq     :+
        lsr     a               ; RAMWRT down to RAMRD's bit
:       and     #B_RAMRD
        beq     @want
        lda     #1
@want:  sta     want
        rts

; The status reads under this combination and card state.
test_status:
        lda     #NSTATUS - 1
        sta     k
@next:  ldx     k
        lda     status_addr,x
        ldy     #$C0
        jsr     set_ptr
        ldx     lc_i
        lda     lc_switch,x
        tax
        lda     combo
        jsr     access_load
        asl     a
        lda     #0
        rol     a
        sta     got
        ; Expected: a combination bit, or the card's state.
        ldx     k
        lda     status_bit,x
        beq     @card
        and     combo
        jmp     @flag
@card:  ldx     lc_i
        ldy     k
        cpy     #NSTATUS - 1
        bne     @bank2
        lda     lc_read,x       ; $C012: the card reads RAM
        jmp     @flag
@bank2: lda     lc_switch,x     ; $C011: bank 2 selected, RAM or ROM
        and     #$08
        eor     #$08
@flag:  beq     :+
        lda     #1
:       sta     want
        cmp     got
        beq     :+
        ldx     k
        lda     status_addr,x
        ldx     #S_STATUS
        jsr     record
:       dec     k
        bpl     @next
        rts

status_addr:
        .byte   $16, $13, $14, $18, $1C, $1D, $11, $12
status_bit:
        .byte   B_ALTZP, B_RAMRD, B_RAMWRT, B_80STORE, B_PAGE2, B_HIRES, 0, 0
NSTATUS = * - status_bit

; X = section, A = probe or address; lc_i, combo, want and got go along.
record: sta     tmp
        inc     faults
        bne     :+
        inc     faults+1
:       txa
        asl     a
        tay
        lda     section-2,y
        clc
        adc     #1
        sta     section-2,y
        bcc     :+
        lda     section-1,y
        adc     #0
        sta     section-1,y
:       lda     nrec
        cmp     #MAXREC
        bcs     @full
        asl     a
        asl     a
        asl     a
        tay
        txa
        sta     records,y
        lda     lc_i
        sta     records+1,y
        lda     combo
        sta     records+2,y
        lda     tmp
        sta     records+3,y
        lda     want
        sta     records+4,y
        lda     got
        sta     records+5,y
        inc     nrec
@full:  rts

; ---- $C100-$CFFF --------------------------------------------------------------------
; A script of steps: switch, touch, or check that a page is (1) or is not
; (0) the internal ROM, and status reads. The step's offset goes into the
; record in place of the card state.
A_CX    = 1     ; INTCXROM = arg
A_C3    = 2     ; SLOTC3ROM = arg
A_TOUCH = 3     ; load of $CFFF (arg 0) or $C300 (arg 1)
A_PAGE  = 4     ; page arg internal? expect
A_STAT  = 5     ; status $C0arg, expect

rom_script:
        .byte   A_CX, 1, A_C3, 1
        .byte   A_STAT, $15, 1, A_STAT, $17, 1
        .byte   A_PAGE, $C3, 1, A_PAGE, $C1, 1, A_PAGE, $C8, 1, A_PAGE, $CF, 1
        ; Slot space: no card answers with the internal ROM, the latch is clear.
        .byte   A_CX, 0, A_TOUCH, 0, A_STAT, $15, 0
        .byte   A_PAGE, $C1, 0, A_PAGE, $C2, 0, A_PAGE, $C3, 0, A_PAGE, $C4, 0
        .byte   A_PAGE, $C5, 0, A_PAGE, $C6, 0, A_PAGE, $C7, 0
        .byte   A_PAGE, $C8, 0, A_PAGE, $CC, 0, A_PAGE, $CF, 0
        ; SLOTC3ROM off: $C3xx internal, and reading it sets INTC8ROM.
        .byte   A_C3, 0, A_STAT, $17, 0, A_PAGE, $C8, 0
        .byte   A_PAGE, $C3, 1, A_PAGE, $C8, 1, A_PAGE, $CF, 1, A_PAGE, $C1, 0
        ; $CFFF clears it.
        .byte   A_TOUCH, 0, A_PAGE, $C8, 0, A_PAGE, $C3, 1
        ; The slot's own $C3xx does not set it.
        .byte   A_TOUCH, 0, A_C3, 1, A_TOUCH, 1, A_PAGE, $C8, 0, A_PAGE, $C3, 0
        ; It outlives SLOTC3ROM, and $CFFF clears it under INTCXROM too.
        .byte   A_C3, 0, A_TOUCH, 1, A_C3, 1, A_PAGE, $C8, 1, A_PAGE, $C3, 0
        .byte   A_CX, 1, A_TOUCH, 0, A_CX, 0, A_PAGE, $C8, 0
        .byte   0

audit_rom:
        ; The internal ROM's pages, with INTCXROM on.
        sta     $C007
        ldx     #$C1
:       jsr     page_sum
        lda     sum
        sta     ref_lo-$C1,x
        lda     sum+1
        sta     ref_hi-$C1,x
        inx
        cpx     #$D0
        bne     :-
        sta     $C006
        lda     #0
        sta     step
@step:  ldy     step
        lda     rom_script,y
        bne     :+
        rts
:       ldx     rom_script+1,y
        cmp     #A_CX
        bne     :+
        lda     cx_addr,x
        jmp     @switch
:       cmp     #A_C3
        bne     @touch
        lda     c3_addr,x
@switch:
        sta     PTR
        lda     #$C0
        sta     PTR+1
        ldy     #0
        sta     (PTR),y
        jmp     @two
@touch: cmp     #A_TOUCH
        bne     @page
        txa
        beq     :+
        lda     $C300
        jmp     @two
:       lda     $CFFF
        jmp     @two
@page:  cmp     #A_PAGE
        bne     @stat
        jsr     page_sum
        ldy     #0
        lda     sum
        cmp     ref_lo-$C1,x
        bne     :+
        lda     sum+1
        cmp     ref_hi-$C1,x
        bne     :+
        iny
:       sty     got
        txa
        jmp     @check
@stat:  stx     PTR
        lda     #$C0
        sta     PTR+1
        ldy     #0
        lda     (PTR),y
        asl     a
        tya
        rol     a
        sta     got
        txa
@check: ldy     step
        ldx     rom_script+2,y
        stx     want
        cpx     got
        beq     @three
        ldx     step
        stx     lc_i            ; the step in place of the card state
        ldx     #0
        stx     combo
        ldx     #S_ROM
        jsr     record
@three: inc     step
@two:   inc     step
        inc     step
        jmp     @step

cx_addr: .byte  $06, $07
c3_addr: .byte  $0A, $0B

; Sum of the first 32 bytes of page X (never $CFFF) into sum; X is kept.
page_sum:
        stx     PTR+1
        lda     #0
        sta     PTR
        sta     sum
        sta     sum+1
        ldy     #31
@add:   lda     (PTR),y
        clc
        adc     sum
        sta     sum
        bcc     :+
        inc     sum+1
:       dey
        bpl     @add
        rts

; ---- Report ------------------------------------------------------------------------
; COUT may go through DOS or the 80-column firmware: nothing is kept in
; registers across it.
report: jsr     CROUT
        ldx     #0
        jsr     print
        lda     #1
        sta     k
@sec:   lda     k
        asl     a
        tax
        lda     section_text-2,x
        tax
        jsr     print
        lda     k
        asl     a
        tax
        lda     section-1,x
        ora     section-2,x
        bne     :+
        ldx     #ok_text - texts
        jsr     print
        jmp     @next
:       lda     section-1,x
        sta     tmp
        lda     section-2,x
        sta     idx
        lda     tmp
        jsr     PRBYTE
        lda     idx
        jsr     PRBYTE
        ldx     #fault_text - texts
        jsr     print
@next:  inc     k
        lda     k
        cmp     #5
        bne     @sec
        ; The first records, up to eight.
        lda     #0
        sta     k
@rec:   lda     k
        cmp     nrec
        bcs     @end
        cmp     #8
        bcs     @end
        asl     a
        asl     a
        asl     a
        sta     idx
@byte:  ldx     idx
        lda     records,x
        jsr     PRBYTE
        lda     #' ' | $80
        jsr     COUT
        inc     idx
        lda     idx
        and     #7
        cmp     #6
        bne     @byte
        jsr     CROUT
        inc     k
        bne     @rec
@end:   rts

; Text at texts + X, up to its zero.
print:  stx     idx
@next:  ldx     idx
        lda     texts,x
        beq     :+
        ora     #$80
        jsr     COUT
        inc     idx
        bne     @next
:       rts

texts:
        .byte   "//E MEMORY AUDIT", $0D, 0
ok_text:
        .byte   "OK", $0D, 0
fault_text:
        .byte   " FAULTS", $0D, 0
aux_text:
        .byte   "AUX MEMORY  ", 0
lc_text:
        .byte   "LANG CARD   ", 0
status_text:
        .byte   "STATUS      ", 0
rom_text:
        .byte   "$CXXX ROM   ", 0
section_text:
        .byte   aux_text - texts, 0, lc_text - texts, 0
        .byte   status_text - texts, 0, rom_text - texts, 0

; ---- Probes --------------------------------------------------------------------------
probe_lo:
        .byte   $FA, $00, $00, $FF, $00, $FF, $00, $FF
        .byte   $00, $FF, $00, $FF, $00, $FF, $00, $FF
probe_hi:
        .byte   $00, $01, $02, $03, $04, $07, $08, $1F
        .byte   $20, $3F, $40, $BF, $D0, $DF, $E0, $FF
probe_kind:
        .byte   K_ZP, K_ZP, K_RAM, K_RAM, K_TEXT, K_TEXT, K_RAM, K_RAM
        .byte   K_HIRES, K_HIRES, K_RAM, K_RAM, K_LCD, K_LCD, K_LCE, K_LCE

; ---- Working storage, read and written only while home -----------------------
lc_i:   .byte   0
combo:  .byte   0
probe:  .byte   0
kind:   .byte   0
nplaces: .byte  0
base:   .byte   0
op:     .byte   0
want:   .byte   0
got:    .byte   0
k:      .byte   0
slot:   .byte   0
step:   .byte   0
tmp:    .byte   0
idx:    .byte   0
writing: .byte  0
sum:    .word   0
saved_status: .res NSAVED, 0
saved_ptr: .res 4, 0
romref: .res    NPROBE, 0
keep:   .res    NPROBE * 4, 0
ref_lo: .res    15, 0
ref_hi: .res    15, 0
prog_end:
