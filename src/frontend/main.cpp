#include "frontend/frontend.h"

int main(int argc, char** argv) { return kalvoran_main(argc, argv); }
