/* STUB: replaced by the ROM splitter. */
int main(void) { return 1; }
