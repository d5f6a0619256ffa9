; A free stand-in for the BASIC ROM ($D000-$F7FF), for machines without
; Apple's ROMs. In Full mode the cold start lands here: it says what is
; missing and enters the ZELM monitor, where L, G and BLOAD work.

HOME    = $FC58         ; ZELM: clear the window
COUT    = $FDED         ; ZELM: print A
SETNORM = $FE84         ; ZELM: normal (not inverse) characters
MONITOR = $FF69         ; ZELM: monitor prompt
PTR     = $06

        .segment "ROM"
        .res    $1000, $00      ; $D000-$DFFF: BRK lands in the monitor

; $E000 cold start and $E003 warm start, where BASIC has them.
cold:   jmp     start
warm:   jmp     start

        ; Power-up clears RAM, and with it the character mask at $32:
        ; until SETNORM every character would come out as "@".
start:  jsr     SETNORM
        jsr     HOME
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
        ; A bare G leaves the monitor with an RTS: come straight back.
@done:  jsr     MONITOR
        jmp     @done

; Lines stay under 40 characters: a full line wraps by itself, and its
; carriage return would then add an empty one.
text:   .byte   "KALVORAN: APPLE ][+ AND //E EMULATOR", $0D
        .byte   "RUNNING ON ITS OWN FREE ZELM ROM.", $0D, $0D
        .byte   "APPLESOFT, DOS AND PRODOS NEED THE", $0D
        .byte   "MACHINE'S OWN ROMS, WHICH ARE APPLE'S", $0D
        .byte   "AND NOT SHIPPED. NONE IS IN THE", $0D
        .byte   "WORKING DIRECTORY:", $0D, $0D
        .byte   "  APPLE2.ROM   ][+ (12288 BYTES)", $0D
        .byte   "  APPLE2E.ROM  //E (16128 BYTES)", $0D
        .byte   "  DISK.ROM     DISK II (256 BYTES)", $0D, $0D
        .byte   "READ THEM OUT OF YOUR OWN MACHINE, PUT", $0D
        .byte   "THE FILES IN THE WORKING DIRECTORY AND", $0D
        .byte   "START KALVORAN AGAIN.", $0D, $0D
        .byte   "THIS IS THE ZELM MONITOR: L LISTS,", $0D
        .byte   "G RUNS, LEFT ALT+F6 LOADS A FILE.", $0D
        .byte   0
