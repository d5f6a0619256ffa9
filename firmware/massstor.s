; Slot ROM of the block-device card: boot code and a ProDOS block driver
; for its two hard-disk units. No SmartPort interface and no interrupts.
; The code holds no address of its own, so the same image runs in any slot.

; Card registers at $C080 + slot * 16 ($C0D0 in slot 5), always reached as
; REG,X with X = slot * 16. A whole 512-byte transfer happens inside the
; store of the command byte; STATUS is valid on the next load.
CMD     = $C080         ; store: 0 status, 1 read, 2 write, 3 format
UNIT    = $C081         ; selected unit: 0 (hdv1.hdv) or 1 (hdv2.hdv)
BUFLO   = $C082         ; memory address of the transfer
BUFHI   = $C083
BLKLO   = $C084         ; block number; after a status command, the block count
BLKHI   = $C085
STATUS  = $C087         ; $00 done, $27 I/O error, $28 no device, $2B protected

; ProDOS driver parameters (ProDOS sets them before calling the driver).
PD_CMD  = $42           ; 0 status, 1 read, 2 write, 3 format
PD_UNIT = $43           ; bit 7: drive 2; bits 6-4: slot
PD_BUF  = $44           ; two bytes
PD_BLK  = $46           ; two bytes

BADCMD  = $01           ; ProDOS's code for a command the driver lacks
IORTS   = $FF58         ; an RTS in every monitor ROM (and in ZELM's)
SLOT16  = $2B           ; where the Disk II PROM leaves slot * 16; we do too
BOOTBUF = $0800         ; block 0 goes here and runs from $0801
BASIC   = $E000         ; cold start, where the slot scan ends without a disk

        .segment "ROM"

; ---- Boot code, $Cn00 ------------------------------------------------------
; Its first eight bytes double as the signature that the ][+ and //e boot
; scan and ProDOS compare: $Cn01 = $20, $Cn03 = $00, $Cn05 = $03 and
; $Cn07 = $3C, as on the Disk II card. $Cn07 = $00 would claim a SmartPort.
boot:   ldx     #$20
        ldy     #$00
        ldx     #$03
        stx     $3C

        ; The return address of a call into the monitor holds our page,
        ; $Cn; its low nibble is the slot.
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
        lda     #>BOOTBUF
        sta     BUFHI,x
        lda     #$01
        sta     CMD,x
        lda     STATUS,x
        bne     noboot          ; no file, or an empty one

        ; A boot block starts with a non-zero byte (the Disk II PROM's
        ; sector count); a unit of zeros has never been made bootable.
        lda     BOOTBUF
        beq     noboot

        ; Enter the boot block as the Disk II PROM does: X = slot * 16.
        ; ProDOS's boot block then finds this driver through $CnFF.
        ldx     SLOT16
        jmp     BOOTBUF+1

        ; Nothing to boot: go on to BASIC, as the scan would below us,
        ; rather than hang as a Disk II without a disk does.
noboot: jmp     BASIC

; ---- ProDOS block driver, entered at $Cn00 + ($CnFF) -----------------------
; In: $42-$47 as above. Out: carry clear and A = 0, or carry set and the
; error code in A ($27, $28, $2B from the card; $01 for a bad command).
; STATUS also returns the block count in X (low) and Y (high).
driver: lda     PD_UNIT         ; slot * 16 indexes our registers
        and     #$70
        tax
        lda     PD_UNIT         ; drive 1 or 2 is unit 0 or 1
        asl     a
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

        lda     PD_CMD          ; the card ignores unknown commands, so
        cmp     #$04            ; refuse them here rather than report success
        bcs     badcmd
        sta     CMD,x
        lda     STATUS,x
        bne     fail

        lda     PD_CMD
        bne     done
        ldy     BLKHI,x         ; status: the card left the block count
        lda     BLKLO,x         ; in the block-number registers
        tax
done:   lda     #$00
        clc
        rts

badcmd: lda     #BADCMD
fail:   sec
        rts

; ---- $CnFC-$CnFF: what ProDOS reads to install the driver ------------------
        .segment "ID"
        .word   $0000           ; block count: 0 = ask with STATUS
        ; Status byte: bits 5-4 = 01, a second volume (ProDOS installs
        ; drive 2); bits 3-0: format, write, read and status supported.
        ; Not removable, not interruptible.
        .byte   %00011111
        .byte   <driver         ; driver entry, low byte (not $00: no Disk II)
