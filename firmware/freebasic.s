; A free stand-in for the BASIC ROM ($D000-$F7FF), for machines without
; Apple's ROMs. In Full mode the cold start lands here: it says what is
; missing and enters the ZELM monitor, where L, G and BLOAD work.

HOME    = $FC58         ; ZELM: clear the window
COUT    = $FDED         ; ZELM: print A
MONITOR = $FF69         ; ZELM: monitor prompt
PTR     = $06

        .segment "ROM"
        .res    $1000, $00      ; $D000-$DFFF: BRK lands in the monitor

; $E000 cold start and $E003 warm start, where BASIC has them.
cold:   jmp     start
warm:   jmp     start

start:  jsr     HOME
        lda     #<text
        sta     PTR
        lda     #>text
        sta     PTR+1
        ldy     #$00
@next:  lda     (PTR),y
        beq     @done
        ora     #$80
        jsr     COUT
        iny
        bne     @next
        inc     PTR+1
        bne     @next
@done:  jmp     MONITOR

text:   .byte   "KALVORAN WITH THE FREE ZELM ROM", $0D, $0D
        .byte   "NO APPLE ROM WAS FOUND IN THE WORKING", $0D
        .byte   "DIRECTORY. APPLESOFT, DOS AND PRODOS", $0D
        .byte   "NEED THE MACHINE'S OWN ROMS:", $0D, $0D
        .byte   "  APPLE2.ROM   ][+ (12288 BYTES)", $0D
        .byte   "  APPLE2E.ROM  //E (16128 BYTES)", $0D
        .byte   "  DISK.ROM     DISK II (256 BYTES)", $0D, $0D
        .byte   "COPY THEM FROM YOUR OWN MACHINE INTO THE", $0D
        .byte   "WORKING DIRECTORY AND START AGAIN.", $0D, $0D
        .byte   "THIS IS THE ZELM MONITOR: L LISTS,", $0D
        .byte   "G RUNS, LEFT ALT+F6 LOADS A FILE.", $0D, $0D
        .byte   0
