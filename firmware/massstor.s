; Slot ROM of the block-device card: boot code and a ProDOS block driver.
; The card's registers answer at $C080+slot*16 ($C0D0 in slot 5); every
; transfer of 512 bytes happens inside the store of the command byte.
; The code uses no absolute address of its own, so it runs in any slot.

; Card registers, indexed by X = slot * 16.
CMD     = $C080         ; store: 0 status, 1 read, 2 write, 3 format
UNIT    = $C081         ; selected unit, 0 or 1
BUFLO   = $C082         ; memory address of the transfer
BUFHI   = $C083
BLKLO   = $C084         ; block number; after status: the block count
BLKHI   = $C085
STATUS  = $C087         ; $00 done, $27 I/O error, $28 no device, $2B protected

; ProDOS driver parameters.
PD_CMD  = $42
PD_UNIT = $43           ; bit 7 drive, bits 6-4 slot
PD_BUF  = $44
PD_BLK  = $46

IORTS   = $FF58         ; an RTS in every monitor ROM (and ZELM's)
SLOT16  = $2B           ; the boot code keeps slot * 16 here, as the Disk II PROM does

        .segment "ROM"

; Signature bytes the boot scan and ProDOS compare: $Cn01 = $20,
; $Cn03 = $00, $Cn05 = $03, $Cn07 = $3C (as on the Disk II card; $Cn07 is
; not $00, which would claim a SmartPort).
boot:   ldx     #$20
        ldy     #$00
        ldx     #$03
        stx     $3C

        ; Which slot are we in? The return address of a call to IORTS
        ; holds our page.
        jsr     IORTS
        tsx
        lda     $0100,x
        asl     a
        asl     a
        asl     a
        asl     a
        tax
        stx     SLOT16

        ; Block 0 of unit 0 to $0800.
        lda     #$00
        sta     UNIT,x
        sta     BLKLO,x
        sta     BLKHI,x
        sta     BUFLO,x
        lda     #$08
        sta     BUFHI,x
        lda     #$01
        sta     CMD,x
        lda     STATUS,x
        bne     noboot
        ; A boot block begins with a non-zero byte; a blank unit has none.
        lda     $0800
        beq     noboot
        ldx     SLOT16
        jmp     $0801

        ; Nothing to boot: go on to BASIC as the machine does without a disk.
noboot: jmp     $E000

; ProDOS block driver: command in $42, unit in $43, buffer $44/$45,
; block $46/$47. Returns carry clear and A = 0, or carry set and the
; card's error code in A. STATUS returns the block count in X (low), Y (high).
driver: lda     PD_UNIT
        and     #$70
        tax
        lda     PD_UNIT
        asl     a               ; drive bit into carry
        lda     #$00
        rol     a
        sta     UNIT,x
        lda     PD_BUF
        sta     BUFLO,x
        lda     PD_BUF+1
        sta     BUFHI,x
        lda     PD_BLK
        sta     BLKLO,x
        lda     PD_BLK+1
        sta     BLKHI,x
        lda     PD_CMD
        cmp     #$04
        bcs     badcmd
        sta     CMD,x
        lda     STATUS,x
        bne     fail
        lda     PD_CMD
        bne     done
        ldy     BLKHI,x
        lda     BLKLO,x
        tax
done:   lda     #$00
        clc
        rts
badcmd: lda     #$01            ; bad command
fail:   sec
        rts

        .segment "ID"
; $CnFC-$CnFF: block count (0: ask STATUS), status byte, driver entry.
        .word   $0000
        ; Two volumes ($10); format, write, read and status ($0F).
        .byte   $1F
        .byte   <driver
